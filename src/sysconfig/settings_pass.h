#pragma once

#include "sysconfig/change_records.h"
#include "sysconfig/change_store.h"
#include "sysconfig/registry_key.h"
#include "sysconfig/system_context.h"

namespace fwu {

// One run over the device settings of one platform family: a check, which writes nothing, or,
// with a store, a recording run. Both take the same decisions, so a check answers exactly what
// a recording run would change.
class SettingsPass {
 public:
  // Without a store the pass only checks.
  SettingsPass(const SystemContext& context, ChangeStore* store)
      : context_(context), store_(store) {}

  const SystemContext& Context() const { return context_; }
  bool NeedsChange() const { return needs_change_; }

  // A setting that must change. It counts only when its record could be given back later;
  // then, in a recording run, the new value is written once the whole record is in the store,
  // never before. True when the new value was written, whatever the write returned: a failed
  // write leaves a record whose restore writes the old value back harmlessly.
  bool Change(RegistryKey& device_key, const ChangeRecord& old_setting,
              const RegistryValue& new_value);

 private:
  const SystemContext& context_;
  ChangeStore* store_;
  bool needs_change_ = false;
};

}  // namespace fwu
