#include "sysconfig/nt_device_settings.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "sysconfig/device_setting_names.h"

namespace fwu {
namespace {

using namespace nt_settings;

constexpr std::uint32_t kSubkeyNameCapacity = 512;
constexpr std::uint32_t kTextCapacity = 128;

std::string PathBelow(std::string_view parent, std::string_view name) {
  std::string path(parent);
  path += '\\';
  path += name;
  return path;
}

// The detection is off when the digit right after the first "0x" is 0.
bool DmaDetectionIsOff(std::string_view driver_parameter) {
  const std::size_t hex = driver_parameter.find("0x");
  return hex != std::string_view::npos && hex + 2 < driver_parameter.size() &&
         driver_parameter[hex + 2] == '0';
}

void CheckAtapiDmaDetection(SettingsPass& pass) {
  platform::Registry& registry = pass.Context().registry;
  RegistryKey parameters(registry);
  if (parameters.Open(platform::kHkeyLocalMachine, kAtapiParametersPath, platform::kKeyRead) !=
      platform::kErrorSuccess) {
    return;
  }
  std::string channel_name;
  for (std::uint32_t index = 0;
       parameters.EnumSubkey(index, channel_name, kSubkeyNameCapacity) == platform::kErrorSuccess;
       ++index) {
    const std::string path = PathBelow(kAtapiParametersPath, channel_name);
    // Only a REG_SZ is taken: the restore writes the old text back as one, and a parameter
    // stored otherwise would not come back as it was.
    RegistryKey channel(registry);
    std::string text;
    if (channel.Open(platform::kHkeyLocalMachine, path, platform::kKeyAllAccess) !=
            platform::kErrorSuccess ||
        channel.ReadString(text, kDriverParameter, kTextCapacity) != platform::kErrorSuccess ||
        DmaDetectionIsOff(text)) {
      continue;
    }
    pass.Change(channel, {path, std::string(kDriverParameter), RecordType::kText, text, 0},
                RegistryValue::Text(kDmaDetectionOff));
  }
}

// A number setting as the pass reads it: present whatever its type and length, its number
// taken from its first 4 bytes (bytes it lacks count as zero).
struct NumberSetting {
  std::uint32_t number = 0;
  // The restore writes a number back as a 4-byte REG_DWORD. A value stored otherwise would not
  // come back as it was, so it is left as it stands, even where it would need a change.
  bool changeable = false;
};

std::optional<NumberSetting> ReadNumberSetting(const RegistryKey& key, std::string_view name) {
  RegistryValue value;
  if (key.ReadValue(value, name) != platform::kErrorSuccess) {
    return std::nullopt;
  }
  NumberSetting setting;
  if (!value.data.empty()) {
    std::memcpy(&setting.number, value.data.data(),
                std::min(value.data.size(), sizeof setting.number));
  }
  setting.changeable =
      value.type == platform::kRegDword && value.data.size() == sizeof setting.number;
  return setting;
}

// Records the number and writes `number` in its place; true when the write was made, whatever
// it returned.
bool ChangeNumber(SettingsPass& pass, RegistryKey& key, const std::string& path,
                  std::string_view name, const NumberSetting& present, std::uint32_t number) {
  return present.changeable &&
         pass.Change(key, {path, std::string(name), RecordType::kNumber, {}, present.number},
                     RegistryValue::Number(number));
}

// The user's allowed mode decides alone when it is there, whatever its type. Without it the
// mode itself is lowered, and once that is written the allowed mode that goes with it is opened
// up, whatever it held.
void CheckTimingPosition(SettingsPass& pass, RegistryKey& instance, const std::string& path,
                         const TimingPosition& position) {
  if (const auto user_allowed = ReadNumberSetting(instance, position.user_mode_allowed)) {
    if (user_allowed->number > kMaxUserTimingModeAllowed) {
      ChangeNumber(pass, instance, path, position.user_mode_allowed, *user_allowed,
                   kMaxUserTimingModeAllowed);
    }
    return;
  }
  const auto mode = ReadNumberSetting(instance, position.mode);
  if (!mode || mode->number <= kMaxTimingMode ||
      !ChangeNumber(pass, instance, path, position.mode, *mode, kMaxTimingMode)) {
    return;
  }
  if (const auto mode_allowed = ReadNumberSetting(instance, position.mode_allowed)) {
    ChangeNumber(pass, instance, path, position.mode_allowed, *mode_allowed, kTimingModeAllowed);
  }
}

void CheckIdeTimingModes(SettingsPass& pass) {
  platform::Registry& registry = pass.Context().registry;
  RegistryKey classes(registry);
  if (classes.Open(platform::kHkeyLocalMachine, kControlClassPath, platform::kKeyRead) !=
      platform::kErrorSuccess) {
    return;
  }
  std::string class_name;
  for (std::uint32_t index = 0;
       classes.EnumSubkey(index, class_name, kSubkeyNameCapacity) == platform::kErrorSuccess;
       ++index) {
    const std::string class_path = PathBelow(kControlClassPath, class_name);
    RegistryKey device_class(registry);
    std::string class_text;
    if (device_class.Open(platform::kHkeyLocalMachine, class_path, platform::kKeyAllAccess) !=
            platform::kErrorSuccess ||
        device_class.ReadText(class_text, kClassValue, kTextCapacity) != platform::kErrorSuccess ||
        class_text != kIdeControllerClass) {
      continue;
    }
    std::string instance_name;
    for (std::uint32_t instance_index = 0;
         device_class.EnumSubkey(instance_index, instance_name, kSubkeyNameCapacity) ==
         platform::kErrorSuccess;
         ++instance_index) {
      const std::string path = PathBelow(class_path, instance_name);
      RegistryKey instance(registry);
      if (instance.Open(platform::kHkeyLocalMachine, path, platform::kKeyAllAccess) !=
          platform::kErrorSuccess) {
        continue;
      }
      for (const TimingPosition& position : kTimingPositions) {
        CheckTimingPosition(pass, instance, path, position);
      }
    }
  }
}

void CheckCdAutorun(SettingsPass& pass) {
  RegistryKey cdrom(pass.Context().registry);
  if (cdrom.Open(platform::kHkeyLocalMachine, kCdromPath, platform::kKeyAllAccess) !=
      platform::kErrorSuccess) {
    return;
  }
  const auto autorun = ReadNumberSetting(cdrom, kAutorun);
  if (autorun && autorun->number != kAutorunOff) {
    ChangeNumber(pass, cdrom, std::string(kCdromPath), kAutorun, *autorun, kAutorunOff);
  }
}

}  // namespace

void ChangeNtDeviceSettings(SettingsPass& pass) {
  CheckAtapiDmaDetection(pass);
  CheckIdeTimingModes(pass);
  CheckCdAutorun(pass);
}

}  // namespace fwu
