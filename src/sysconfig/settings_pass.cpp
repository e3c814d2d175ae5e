#include "sysconfig/settings_pass.h"

#include "sysconfig/restorable_records.h"

namespace fwu {

bool SettingsPass::Change(RegistryKey& device_key, const ChangeRecord& old_setting,
                          const RegistryValue& new_value) {
  if (!IsRestorableRecord(old_setting, context_.is_nt)) {
    return false;
  }
  needs_change_ = true;
  if (store_ == nullptr || !store_->Write(old_setting)) {
    return false;
  }
  device_key.WriteValue(new_value, old_setting.value_name);
  return true;
}

}  // namespace fwu
