#include "sysconfig/change_system_settings.h"

#include "sysconfig/nt_device_settings.h"
#include "sysconfig/win9x_device_settings.h"

namespace fwu {

bool ChangeSystemSettings(const SystemContext& context, ChangeMode mode) {
  SettingsPass pass(context, mode);
  if (context.is_nt) {
    ChangeNtDeviceSettings(pass);
  } else {
    ChangeWin9xDeviceSettings(pass);
  }
  return pass.NeedsChange();
}

}  // namespace fwu
