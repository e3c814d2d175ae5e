#pragma once

#include "sysconfig/change_records.h"
#include "sysconfig/registry_key.h"
#include "sysconfig/system_context.h"

namespace fwu {

enum class ChangeMode {
  kCheck = 0,   // find out whether anything must change; write nothing
  kRecord = 1,  // record each old value, then change the setting
};

// One run of ChangeSystemSettings over the device settings of one platform family. Both modes
// take the same decisions, so a check answers exactly what a recording run would change.
class SettingsPass {
 public:
  SettingsPass(const SystemContext& context, ChangeMode mode) : context_(context), mode_(mode) {}

  const SystemContext& Context() const { return context_; }
  bool NeedsChange() const { return needs_change_; }

  // A setting that must change. It counts only when its record could be given back later;
  // then, in recording mode, the new value is written once the whole record is in the store,
  // never before. True when the new value was written, whatever the write returned: a failed
  // write leaves a record whose restore writes the old value back harmlessly.
  bool Change(RegistryKey& device_key, const ChangeRecord& old_setting,
              const RegistryValue& new_value);

 private:
  const SystemContext& context_;
  ChangeMode mode_;
  bool needs_change_ = false;
};

}  // namespace fwu
