#include "sysconfig/win9x_device_settings.h"

#include <string>

#include "sysconfig/device_setting_names.h"

namespace fwu {
namespace {

using namespace win9x_settings;

constexpr std::uint32_t kSubkeyNameCapacity = 512;
constexpr std::uint32_t kHardwareKeyCapacity = 512;
constexpr std::uint32_t kFlagCapacity = 4;

void CheckRunningScsiDevices(SettingsPass& pass) {
  platform::Registry& registry = pass.Context().registry;
  RegistryKey running(registry);
  if (running.Open(platform::kHkeyDynData, kRunningDevicesPath, platform::kKeyRead) !=
      platform::kErrorSuccess) {
    return;
  }
  std::string device_name;
  for (std::uint32_t index = 0;
       running.EnumSubkey(index, device_name, kSubkeyNameCapacity) == platform::kErrorSuccess;
       ++index) {
    RegistryKey device(registry);
    std::string hardware_key;
    if (device.Open(running.Handle(), device_name, platform::kKeyAllAccess) !=
            platform::kErrorSuccess ||
        device.ReadText(hardware_key, kHardwareKeyValue, kHardwareKeyCapacity) !=
            platform::kErrorSuccess ||
        !hardware_key.starts_with(kScsiHardwareKeyPrefix)) {
      continue;
    }
    const std::string path = std::string(kEnumPath) + '\\' + hardware_key;
    RegistryKey enum_key(registry);
    if (enum_key.Open(platform::kHkeyLocalMachine, path, platform::kKeyAllAccess) !=
        platform::kErrorSuccess) {
      continue;
    }
    for (const std::string_view flag : kScsiDeviceFlags) {
      ClearBinaryFlag(pass, enum_key, path, flag);
    }
  }
}

void CheckControllerInstances(SettingsPass& pass, std::string_view class_path) {
  platform::Registry& registry = pass.Context().registry;
  RegistryKey device_class(registry);
  if (device_class.Open(platform::kHkeyLocalMachine, class_path, platform::kKeyRead) !=
      platform::kErrorSuccess) {
    return;
  }
  std::string instance_name;
  for (std::uint32_t index = 0;
       device_class.EnumSubkey(index, instance_name, kSubkeyNameCapacity) ==
       platform::kErrorSuccess;
       ++index) {
    const std::string path = std::string(class_path) + '\\' + instance_name;
    RegistryKey instance(registry);
    if (instance.Open(platform::kHkeyLocalMachine, path, platform::kKeyAllAccess) !=
        platform::kErrorSuccess) {
      continue;
    }
    for (const std::string_view flag : kControllerFlags) {
      ClearBinaryFlag(pass, instance, path, flag);
    }
  }
}

}  // namespace

void ClearBinaryFlag(SettingsPass& pass, RegistryKey& key, const std::string& key_path,
                     std::string_view value_name) {
  RegistryValue flag;
  if (key.ReadValue(flag, value_name, kFlagCapacity) != platform::kErrorSuccess ||
      flag.data.empty() || flag.data[0] == 0) {
    return;
  }
  RegistryValue cleared = flag;
  cleared.data[0] = 0;
  pass.Change(key, {key_path, std::string(value_name), RecordType::kFlagByte, {}, flag.data[0]},
              cleared);
}

void ChangeWin9xDeviceSettings(SettingsPass& pass) {
  CheckRunningScsiDevices(pass);
  for (const std::string_view class_path : kControllerClassPaths) {
    CheckControllerInstances(pass, class_path);
  }
}

}  // namespace fwu
