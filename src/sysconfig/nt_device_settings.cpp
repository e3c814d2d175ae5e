#include "sysconfig/nt_device_settings.h"

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

// A number setting that is lowered to `limit` when it is above it.
bool LowerTo(SettingsPass& pass, RegistryKey& key, const std::string& path, std::string_view name,
             std::uint32_t present, std::uint32_t limit) {
  return pass.Change(key, {path, std::string(name), RecordType::kNumber, {}, present},
                     RegistryValue::Number(limit));
}

// The user's allowed mode decides alone when it is there. Without it the mode itself is
// lowered, and the allowed mode that goes with it is then opened up, whatever it held.
void CheckTimingPosition(SettingsPass& pass, RegistryKey& instance, const std::string& path,
                         const TimingPosition& position) {
  std::uint32_t user_allowed = 0;
  if (instance.ReadDword(user_allowed, position.user_mode_allowed) == platform::kErrorSuccess) {
    if (user_allowed > kMaxUserTimingModeAllowed) {
      LowerTo(pass, instance, path, position.user_mode_allowed, user_allowed,
              kMaxUserTimingModeAllowed);
    }
    return;
  }
  std::uint32_t mode = 0;
  if (instance.ReadDword(mode, position.mode) != platform::kErrorSuccess ||
      mode <= kMaxTimingMode ||
      !LowerTo(pass, instance, path, position.mode, mode, kMaxTimingMode)) {
    return;
  }
  std::uint32_t mode_allowed = 0;
  if (instance.ReadDword(mode_allowed, position.mode_allowed) == platform::kErrorSuccess) {
    LowerTo(pass, instance, path, position.mode_allowed, mode_allowed, kTimingModeAllowed);
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
  std::uint32_t autorun = 0;
  if (cdrom.Open(platform::kHkeyLocalMachine, kCdromPath, platform::kKeyAllAccess) !=
          platform::kErrorSuccess ||
      cdrom.ReadDword(autorun, kAutorun) != platform::kErrorSuccess || autorun == kAutorunOff) {
    return;
  }
  pass.Change(cdrom,
              {std::string(kCdromPath), std::string(kAutorun), RecordType::kNumber, {}, autorun},
              RegistryValue::Number(kAutorunOff));
}

}  // namespace

void ChangeNtDeviceSettings(SettingsPass& pass) {
  CheckAtapiDmaDetection(pass);
  CheckIdeTimingModes(pass);
  CheckCdAutorun(pass);
}

}  // namespace fwu
