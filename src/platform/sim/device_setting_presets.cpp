#include "platform/sim/device_setting_presets.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace fwu::sim {

namespace {

using platform::kHkeyDynData;
using platform::kHkeyLocalMachine;

constexpr std::string_view kAtapiDevice =
    "SYSTEM\\CurrentControlSet\\Services\\atapi\\Parameters\\Device0";
constexpr std::string_view kIdeClass =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96A-E325-11CE-BFC1-08002BE10318}";
constexpr std::string_view kCdrom = "SYSTEM\\CurrentControlSet\\Services\\Cdrom";
constexpr std::string_view kScsiDrive =
    "SCSI\\QUENTAR_DVD-ROM_XT-M7731\\MF&CHILD0000&PCI&VEN_8086&DEV_7111";
constexpr std::string_view kHdcInstance = "System\\CurrentControlSet\\Services\\Class\\hdc\\0000";

void AddNtSettings(SimRegistry& registry, bool need_change) {
  registry.PutValue(
      kHkeyLocalMachine, kAtapiDevice, "DriverParameter",
      StoredValue::Text(need_change ? "DmaDetectionLevel = 0x1;" : "DmaDetectionLevel = 0x0;"));
  registry.PutValue(kHkeyLocalMachine, kIdeClass, "Class", StoredValue::Text("hdc"));
  const std::string instance = std::string(kIdeClass) + "\\0000";
  registry.PutValue(kHkeyLocalMachine, instance, "MasterDeviceTimingMode",
                    StoredValue::Number(need_change ? 0x2010 : 0x10));
  registry.PutValue(kHkeyLocalMachine, instance, "MasterDeviceTimingModeAllowed",
                    StoredValue::Number(0x0F));
  registry.PutValue(kHkeyLocalMachine, instance, "UserSlaveDeviceTimingModeAllowed",
                    StoredValue::Number(need_change ? 0xFFFFFFFF : 0x1F));
  registry.PutValue(kHkeyLocalMachine, kCdrom, "Autorun", StoredValue::Number(need_change ? 1 : 0));
}

void AddWin9xSettings(SimRegistry& registry, bool need_change) {
  const std::uint8_t flag = need_change ? 1 : 0;
  registry.PutValue(kHkeyDynData, "Config Manager\\Enum\\C29A1B40", "HardWareKey",
                    StoredValue::Text(kScsiDrive));
  const std::string drive = "Enum\\" + std::string(kScsiDrive);
  registry.PutValue(kHkeyLocalMachine, drive, "AutoInsertNotification",
                    StoredValue::Binary({flag}));
  registry.PutValue(kHkeyLocalMachine, drive, "DMACurrentlyUsed", StoredValue::Binary({flag}));
  registry.PutValue(kHkeyLocalMachine, kHdcInstance, "IDEDMADRIVE0", StoredValue::Binary({flag}));
  registry.PutValue(kHkeyLocalMachine, kHdcInstance, "AutoInsertNotificationDrive1",
                    StoredValue::Binary({flag}));
}

}  // namespace

void AddDeviceSettings(SimRegistry& registry, bool is_nt, bool need_change) {
  if (is_nt) {
    AddNtSettings(registry, need_change);
  } else {
    AddWin9xSettings(registry, need_change);
  }
}

}  // namespace fwu::sim
