#include "sysconfig/change_system_settings.h"

#include "sysconfig/nt_device_settings.h"
#include "sysconfig/settings_pass.h"
#include "sysconfig/win9x_device_settings.h"

namespace fwu {
namespace {

bool RunPass(const SystemContext& context, ChangeStore* store) {
  SettingsPass pass(context, store);
  if (context.is_nt) {
    ChangeNtDeviceSettings(pass);
  } else {
    ChangeWin9xDeviceSettings(pass);
  }
  return pass.NeedsChange();
}

}  // namespace

bool SystemSettingsNeedChange(const SystemContext& context) {
  return RunPass(context, nullptr);
}

bool ChangeSystemSettings(const SystemContext& context, ChangeStore& store) {
  return RunPass(context, &store);
}

}  // namespace fwu
