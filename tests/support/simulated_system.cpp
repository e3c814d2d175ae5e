#include "support/simulated_system.h"

namespace fwu::test {

using platform::kHkeyCurrentUser;
using platform::kHkeyDynData;
using platform::kHkeyLocalMachine;
using sim::StoredValue;

SimulatedSystem::SimulatedSystem(bool is_nt)
    : registry(is_nt ? sim::RegistryFamily::kNt : sim::RegistryFamily::kWindows9x), is_nt_(is_nt) {
  registry.PutKey(kHkeyCurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\run");
  registry.PutKey(kHkeyLocalMachine, "Software\\Microsoft");
  if (!is_nt) {
    services.version = {4, 10, 2222, platform::kPlatformWindows9x, " A "};
  }
}

SystemContext SimulatedSystem::Context() {
  return SystemContext{registry, services, clock, is_nt_, kApplicationName};
}

void AddNtDeviceSettings(sim::SimRegistry& registry) {
  const std::string atapi = "SYSTEM\\CurrentControlSet\\Services\\atapi\\Parameters\\";
  registry.PutValue(kHkeyLocalMachine, atapi + "Device0", "DriverParameter",
                    StoredValue::Text("DmaDetectionLevel = 0x1;"));
  registry.PutValue(kHkeyLocalMachine, atapi + "Device1", "DriverParameter",
                    StoredValue::Text("DmaDetectionLevel = 0x0;"));

  const std::string classes = "SYSTEM\\CurrentControlSet\\Control\\Class\\";
  const std::string ide = classes + "{4D36E96A-E325-11CE-BFC1-08002BE10318}";
  registry.PutValue(kHkeyLocalMachine, ide, "Class", StoredValue::Text("hdc"));
  registry.PutValue(kHkeyLocalMachine, ide + "\\0000", "MasterDeviceTimingMode",
                    StoredValue::Number(0x2010));
  registry.PutValue(kHkeyLocalMachine, ide + "\\0000", "MasterDeviceTimingModeAllowed",
                    StoredValue::Number(0xFFFFFFFF));
  registry.PutValue(kHkeyLocalMachine, ide + "\\0000", "UserSlaveDeviceTimingModeAllowed",
                    StoredValue::Number(0xFFFFFFFF));
  registry.PutValue(kHkeyLocalMachine, ide + "\\0000", "SlaveDeviceTimingMode",
                    StoredValue::Number(0x2010));
  registry.PutValue(kHkeyLocalMachine, ide + "\\0001", "MasterDeviceTimingMode",
                    StoredValue::Number(0x10));
  registry.PutValue(kHkeyLocalMachine, ide + "\\0001", "MasterDeviceTimingModeAllowed",
                    StoredValue::Number(0x0F));
  // Windows keeps this one from everybody.
  registry.DenyWrites(kHkeyLocalMachine, ide + "\\Properties");
  const std::string cdrom_class = classes + "{4D36E965-E325-11CE-BFC1-08002BE10318}";
  registry.PutValue(kHkeyLocalMachine, cdrom_class, "Class", StoredValue::Text("CDROM"));
  registry.PutValue(kHkeyLocalMachine, cdrom_class + "\\0000", "MasterDeviceTimingMode",
                    StoredValue::Number(0x2010));

  registry.PutValue(kHkeyLocalMachine, "SYSTEM\\CurrentControlSet\\Services\\Cdrom", "Autorun",
                    StoredValue::Number(1));
}

void AddWin9xDeviceSettings(sim::SimRegistry& registry) {
  const std::string drive = "SCSI\\QUENTAR_DVD-ROM_XT-M7731\\MF&CHILD0000&PCI&VEN_8086&DEV_7111";
  const std::string running = "Config Manager\\Enum\\";
  registry.PutValue(kHkeyDynData, running + "C29A1B40", "HardWareKey", StoredValue::Text(drive));
  registry.PutValue(
      kHkeyDynData, running + "C29A1C20", "HardWareKey",
      StoredValue::Text("PCI\\VEN_8086&DEV_7111&SUBSYS_00000000&REV_01\\BUS_00&DEV_07"));
  registry.PutValue(kHkeyDynData, running + "C29A1D00", "HardWareKey",
                    StoredValue::Text("scsi\\OTHER_CD-ROM\\MF&CHILD0001"));
  registry.PutValue(kHkeyLocalMachine, "Enum\\" + drive, "AutoInsertNotification",
                    StoredValue::Binary({0x01}));
  registry.PutValue(kHkeyLocalMachine, "Enum\\" + drive, "DMACurrentlyUsed",
                    StoredValue::Binary({0x01}));
  registry.PutValue(kHkeyLocalMachine, "Enum\\scsi\\OTHER_CD-ROM\\MF&CHILD0001", "DMACurrentlyUsed",
                    StoredValue::Binary({0x01}));

  const std::string hdc = "System\\CurrentControlSet\\Services\\Class\\hdc\\";
  registry.PutValue(kHkeyLocalMachine, hdc + "0000", "AutoInsertNotificationDrive0",
                    StoredValue::Binary({0x01}));
  registry.PutValue(kHkeyLocalMachine, hdc + "0000", "AutoInsertNotificationDrive1",
                    StoredValue::Binary({0x00}));
  registry.PutValue(kHkeyLocalMachine, hdc + "0000", "IDEDMADRIVE0", StoredValue::Binary({0x01}));
  registry.PutValue(kHkeyLocalMachine, hdc + "0001", "IDEDMADRIVE1",
                    StoredValue::Binary({0xC1, 0x00, 0x00, 0x00}));
  const std::string adapter = "System\\CurrentControlSet\\Services\\Class\\SCSIAdapter\\0000";
  registry.PutValue(kHkeyLocalMachine, adapter, "AutoInsertNotificationDrive0",
                    StoredValue::Number(1));
  registry.PutValue(kHkeyLocalMachine, adapter, "IDEDMADRIVE0",
                    StoredValue::Binary({1, 2, 3, 4, 5}));
}

std::string DeviceSettingsJson(const sim::SimRegistry& registry, bool is_nt) {
  if (is_nt) {
    return registry.SubtreeJson(kHkeyLocalMachine, "SYSTEM");
  }
  return registry.SubtreeJson(kHkeyLocalMachine, "System") +
         registry.SubtreeJson(kHkeyLocalMachine, "Enum");
}

}  // namespace fwu::test
