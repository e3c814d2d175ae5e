#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "support/simulated_system.h"
#include "sysconfig/change_records.h"
#include "sysconfig/change_store.h"
#include "sysconfig/change_system_settings.h"

namespace fwu {
namespace {

using platform::kHkeyCurrentUser;
using platform::kHkeyDynData;
using platform::kHkeyLocalMachine;
using platform::RegistryHandle;
using sim::StoredValue;

struct Setting {
  RegistryHandle root;
  std::string path;
  std::string name;
  std::optional<StoredValue> value;  // nullopt: absent
};

// One situation: the settings before, whether they need a change, and the settings and the
// number of records after a recording pass.
struct SettingsCase {
  const char* what;
  std::vector<Setting> before;
  bool needs_change;
  std::vector<Setting> after;
  std::int32_t records;
};

const std::string kChannel = "SYSTEM\\CurrentControlSet\\Services\\atapi\\Parameters\\Device0";
const std::string kIdeClass =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96A-E325-11CE-BFC1-08002BE10318}";
const std::string kIde = kIdeClass + "\\0000";
const std::string kOtherClass =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{00000000-0000-0000-0000-000000000000}";
const std::string kCdrom = "SYSTEM\\CurrentControlSet\\Services\\Cdrom";
const std::string kHdc = "System\\CurrentControlSet\\Services\\Class\\hdc\\0000";
const std::string kAdapter = "System\\CurrentControlSet\\Services\\Class\\SCSIAdapter\\0001";
const std::string kRunning = "Config Manager\\Enum\\C29A1B40";

Setting Machine(std::string path, std::string name, std::optional<StoredValue> value) {
  return {kHkeyLocalMachine, std::move(path), std::move(name), std::move(value)};
}

// Mode 0 must answer what mode 1 then does, and write nothing at all.
void CheckCase(const SettingsCase& situation, bool is_nt) {
  SCOPED_TRACE(situation.what);
  test::SimulatedSystem system(is_nt);
  system.registry.PutValue(kHkeyLocalMachine, kIdeClass, "Class", StoredValue::Text("hdc"));
  for (const Setting& setting : situation.before) {
    system.registry.PutValue(setting.root, setting.path, setting.name, *setting.value);
  }
  const std::string untouched = system.registry.ToJson();
  const SystemContext context = system.Context();
  ChangeStore store(context);

  EXPECT_EQ(SystemSettingsNeedChange(context), situation.needs_change);
  EXPECT_EQ(system.registry.ToJson(), untouched);
  EXPECT_EQ(system.registry.WriteCount(), 0U);

  EXPECT_EQ(ChangeSystemSettings(context, store), situation.needs_change);
  EXPECT_EQ(store.Count(), situation.records);
  for (const Setting& setting : situation.after) {
    EXPECT_EQ(system.registry.Value(setting.root, setting.path, setting.name), setting.value)
        << setting.name;
  }
  if (situation.records == 0) {
    EXPECT_EQ(system.registry.ToJson(), untouched);
  }
  EXPECT_FALSE(SystemSettingsNeedChange(context)) << "nothing left to change";
  EXPECT_EQ(system.registry.OpenHandleCount(), 0U);
}

TEST(NtDeviceSettingsTest, EachSettingIsChangedOnlyWhenItMust) {
  const auto dword = StoredValue::Number;
  const std::vector<SettingsCase> cases = {
      {"no settings at all", {}, false, {}, 0},
      {"DMA detection off",
       {Machine(kChannel, "DriverParameter", StoredValue::Text("DmaDetectionLevel = 0x0;"))},
       false,
       {},
       0},
      {"DMA detection on",
       {Machine(kChannel, "DriverParameter", StoredValue::Text("DmaDetectionLevel = 0x1;"))},
       true,
       {Machine(kChannel, "DriverParameter", StoredValue::Text("DmaDetectionLevel = 0x0;"))},
       1},
      {"no 0x in the text",
       {Machine(kChannel, "DriverParameter", StoredValue::Text("DmaDetectionLevel = 1;"))},
       true,
       {Machine(kChannel, "DriverParameter", StoredValue::Text("DmaDetectionLevel = 0x0;"))},
       1},
      {"parameter longer than 127 characters",
       {Machine(kChannel, "DriverParameter",
                StoredValue::Text("DmaDetectionLevel = 0x1;" + std::string(104, ' ')))},
       false,
       {},
       0},
      {"parameter that is no text",
       {Machine(kChannel, "DriverParameter", StoredValue::Binary({'0', 'x', '1', 0}))},
       false,
       {},
       0},
      {"user mode allowed 0x1F",
       {Machine(kIde, "UserMasterDeviceTimingModeAllowed", dword(0x1F))},
       false,
       {},
       0},
      {"user mode allowed decides alone",
       {Machine(kIde, "UserMasterDeviceTimingModeAllowed", dword(0xFFFFFFFF)),
        Machine(kIde, "MasterDeviceTimingMode", dword(0x2010))},
       true,
       {Machine(kIde, "UserMasterDeviceTimingModeAllowed", dword(0x1F)),
        Machine(kIde, "MasterDeviceTimingMode", dword(0x2010))},
       1},
      // Present in any type, the user's own limit still decides alone; it cannot be given back
      // with its type, so it stays as it is, and the mode is not lowered past it.
      {"user mode allowed stored as binary",
       {Machine(kIde, "UserMasterDeviceTimingModeAllowed", StoredValue::Binary({0xFF, 0xFF})),
        Machine(kIde, "MasterDeviceTimingMode", dword(0x2010))},
       false,
       {Machine(kIde, "MasterDeviceTimingMode", dword(0x2010))},
       0},
      {"mode 0x10 leaves the allowed mode",
       {Machine(kIde, "MasterDeviceTimingMode", dword(0x10)),
        Machine(kIde, "MasterDeviceTimingModeAllowed", dword(0x0F))},
       false,
       {},
       0},
      {"mode 0x11 opens up the allowed mode",
       {Machine(kIde, "MasterDeviceTimingMode", dword(0x11)),
        Machine(kIde, "MasterDeviceTimingModeAllowed", dword(0x0F))},
       true,
       {Machine(kIde, "MasterDeviceTimingMode", dword(0x10)),
        Machine(kIde, "MasterDeviceTimingModeAllowed", dword(0x1F))},
       2},
      {"mode 0x11 without an allowed mode",
       {Machine(kIde, "MasterDeviceTimingMode", dword(0x11))},
       true,
       {Machine(kIde, "MasterDeviceTimingMode", dword(0x10)),
        Machine(kIde, "MasterDeviceTimingModeAllowed", std::nullopt)},
       1},
      {"slave: allowed mode recorded even when it already is 0x1F",
       {Machine(kIde, "SlaveDeviceTimingMode", dword(0x2010)),
        Machine(kIde, "SlaveDeviceTimingModeAllowed", dword(0x1F))},
       true,
       {Machine(kIde, "SlaveDeviceTimingMode", dword(0x10)),
        Machine(kIde, "SlaveDeviceTimingModeAllowed", dword(0x1F))},
       2},
      {"every hdc class is treated, not only the first",
       {Machine(kOtherClass, "Class", StoredValue::Text("hdc")),
        Machine(kOtherClass + "\\0000", "MasterDeviceTimingMode", dword(0x11)),
        Machine(kIde, "SlaveDeviceTimingMode", dword(0x11))},
       true,
       {Machine(kOtherClass + "\\0000", "MasterDeviceTimingMode", dword(0x10)),
        Machine(kIde, "SlaveDeviceTimingMode", dword(0x10))},
       2},
      {"class HDC is another class",
       {Machine(kOtherClass, "Class", StoredValue::Text("HDC")),
        Machine(kOtherClass + "\\0000", "MasterDeviceTimingMode", dword(0x11))},
       false,
       {},
       0},
      {"timing mode that is no number",
       {Machine(kIde, "MasterDeviceTimingMode", StoredValue::Binary({0x11, 0, 0, 0}))},
       false,
       {},
       0},
      {"autorun off", {Machine(kCdrom, "Autorun", dword(0))}, false, {}, 0},
      {"autorun on",
       {Machine(kCdrom, "Autorun", dword(1))},
       true,
       {Machine(kCdrom, "Autorun", dword(0))},
       1},
      {"autorun that is no number",
       {Machine(kCdrom, "Autorun", StoredValue::Binary({1, 0, 0, 0}))},
       false,
       {},
       0},
  };
  for (const SettingsCase& situation : cases) {
    CheckCase(situation, true);
  }
}

TEST(Win9xDeviceSettingsTest, EachFlagIsClearedOnlyWhenItIsSet) {
  const auto binary = StoredValue::Binary;
  const std::string scsi_key = "Enum\\SCSI\\QUENTAR_DVD-ROM\\MF&CHILD0000";
  const auto running = [](const std::string& hardware_key) {
    return Setting{kHkeyDynData, kRunning, "HardWareKey", StoredValue::Text(hardware_key)};
  };
  const std::vector<SettingsCase> cases = {
      {"no settings at all", {}, false, {}, 0},
      {"flag 01",
       {Machine(kHdc, "IDEDMADRIVE0", binary({0x01}))},
       true,
       {Machine(kHdc, "IDEDMADRIVE0", binary({0x00}))},
       1},
      {"flag 00", {Machine(kHdc, "IDEDMADRIVE1", binary({0x00}))}, false, {}, 0},
      {"flag of no bytes", {Machine(kHdc, "IDEDMADRIVE1", binary({}))}, false, {}, 0},
      {"flag whose first byte is 0",
       {Machine(kHdc, "IDEDMADRIVE1", binary({0x00, 0x01}))},
       false,
       {},
       0},
      {"flag of five bytes",
       {Machine(kHdc, "AutoInsertNotificationDrive0", binary({1, 0, 0, 0, 0}))},
       false,
       {},
       0},
      {"flag of two bytes keeps its second byte",
       {Machine(kAdapter, "AutoInsertNotificationDrive1", binary({0x01, 0x02}))},
       true,
       {Machine(kAdapter, "AutoInsertNotificationDrive1", binary({0x00, 0x02}))},
       1},
      {"flag stored as a number keeps its type",
       {Machine(kAdapter, "IDEDMADRIVE0", StoredValue::Number(1))},
       true,
       {Machine(kAdapter, "IDEDMADRIVE0", StoredValue::Number(0))},
       1},
      {"running SCSI device",
       {running("SCSI\\QUENTAR_DVD-ROM\\MF&CHILD0000"),
        Machine(scsi_key, "AutoInsertNotification", binary({1})),
        Machine(scsi_key, "DMACurrentlyUsed", binary({1}))},
       true,
       {Machine(scsi_key, "AutoInsertNotification", binary({0})),
        Machine(scsi_key, "DMACurrentlyUsed", binary({0}))},
       2},
      {"hardware key in lower case",
       {running("scsi\\QUENTAR_DVD-ROM\\MF&CHILD0000"),
        Machine(scsi_key, "DMACurrentlyUsed", binary({1}))},
       false,
       {},
       0},
      {"hardware key of another bus",
       {running("PCI\\VEN_8086"), Machine("Enum\\PCI\\VEN_8086", "DMACurrentlyUsed", binary({1}))},
       false,
       {},
       0},
      {"hardware key with a trailing backslash",
       {running("SCSI\\QUENTAR_DVD-ROM\\MF&CHILD0000\\"),
        Machine(scsi_key, "DMACurrentlyUsed", binary({1}))},
       true,
       {Machine(scsi_key, "DMACurrentlyUsed", binary({0}))},
       1},
  };
  for (const SettingsCase& situation : cases) {
    CheckCase(situation, false);
  }
}

// Records follow the passes, the enumeration order within them and the order of the values, and
// each holds the old value with the type it was recorded as: a text, a number, or a flag's first
// byte as a number of 0 to 255.
TEST(DeviceSettingsTest, RecordsFollowThePassOrderAndHoldTheOldValues) {
  struct Expected {
    std::string path;
    std::string name;
    std::uint32_t type;
    StoredValue value;
  };
  const std::string ide =
      "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96A-E325-11CE-BFC1-08002BE10318}\\0000";
  const std::string drive =
      "Enum\\SCSI\\QUENTAR_DVD-ROM_XT-M7731\\MF&CHILD0000&PCI&VEN_8086&DEV_7111";
  const std::string hdc = "System\\CurrentControlSet\\Services\\Class\\hdc\\";
  const auto number = StoredValue::Number;
  const std::vector<Expected> nt_order = {
      {kChannel, "DriverParameter", 1, StoredValue::Text("DmaDetectionLevel = 0x1;")},
      {ide, "MasterDeviceTimingMode", 4, number(0x2010)},
      {ide, "MasterDeviceTimingModeAllowed", 4, number(0xFFFFFFFF)},
      {ide, "UserSlaveDeviceTimingModeAllowed", 4, number(0xFFFFFFFF)},
      {kCdrom, "Autorun", 4, number(1)},
  };
  const std::vector<Expected> win9x_order = {
      {drive, "AutoInsertNotification", 3, number(1)},
      {drive, "DMACurrentlyUsed", 3, number(1)},
      {hdc + "0000", "AutoInsertNotificationDrive0", 3, number(1)},
      {hdc + "0000", "IDEDMADRIVE0", 3, number(1)},
      {hdc + "0001", "IDEDMADRIVE1", 3, number(0xC1)},  // a byte, not a negative number
      {"System\\CurrentControlSet\\Services\\Class\\SCSIAdapter\\0000",
       "AutoInsertNotificationDrive0", 3, number(1)},
  };
  for (const bool is_nt : {true, false}) {
    test::SimulatedSystem system(is_nt);
    if (is_nt) {
      test::AddNtDeviceSettings(system.registry);
    } else {
      test::AddWin9xDeviceSettings(system.registry);
    }
    ChangeStore store(system.Context());
    ASSERT_TRUE(ChangeSystemSettings(system.Context(), store));
    const auto& order = is_nt ? nt_order : win9x_order;
    ASSERT_EQ(store.Count(), static_cast<std::int32_t>(order.size()));
    const std::string change =
        std::string("Software\\Quentar_ODD\\") + test::kApplicationName + "\\Change\\";
    for (std::size_t index = 0; index < order.size(); ++index) {
      SCOPED_TRACE(order[index].name);
      const std::string record = change + RecordKeyName(static_cast<std::int32_t>(index) + 1);
      EXPECT_EQ(system.registry.Value(kHkeyCurrentUser, record, "SubKey_Name"),
                StoredValue::Text(order[index].path));
      EXPECT_EQ(system.registry.Value(kHkeyCurrentUser, record, "Value_Name"),
                StoredValue::Text(order[index].name));
      EXPECT_EQ(system.registry.Value(kHkeyCurrentUser, record, "Value_Type"),
                number(order[index].type));
      EXPECT_EQ(system.registry.Value(kHkeyCurrentUser, record, "Value"), order[index].value);
    }
    EXPECT_FALSE(SystemSettingsNeedChange(system.Context()));
  }
}

// Once the mode is written lower, the allowed mode that goes with it is recorded and opened up,
// also when the write of the mode failed: its record then gives back a value that never left.
TEST(NtDeviceSettingsTest, TheAllowedModeFollowsTheModesWriteWhateverItReturned) {
  test::SimulatedSystem scratch;
  ASSERT_TRUE(ChangeStore(scratch.Context())
                  .Write({kIde, "MasterDeviceTimingMode", RecordType::kNumber, {}, 0x11}));
  const std::uint32_t record_writes = scratch.registry.WriteCount();

  test::SimulatedSystem system;
  system.registry.PutValue(kHkeyLocalMachine, kIdeClass, "Class", StoredValue::Text("hdc"));
  system.registry.PutValue(kHkeyLocalMachine, kIde, "MasterDeviceTimingMode",
                           StoredValue::Number(0x11));
  system.registry.PutValue(kHkeyLocalMachine, kIde, "MasterDeviceTimingModeAllowed",
                           StoredValue::Number(0x0F));
  system.registry.FailWrite(record_writes + 1);  // the lowered mode
  ChangeStore store(system.Context());
  EXPECT_TRUE(ChangeSystemSettings(system.Context(), store));
  EXPECT_EQ(store.Count(), 2);
  EXPECT_EQ(system.registry.Value(kHkeyLocalMachine, kIde, "MasterDeviceTimingMode"),
            StoredValue::Number(0x11));
  EXPECT_EQ(system.registry.Value(kHkeyLocalMachine, kIde, "MasterDeviceTimingModeAllowed"),
            StoredValue::Number(0x1F));
}

// The old value must be safe in the store before the setting changes.
TEST(DeviceSettingsTest, SettingStaysWhenItsRecordCannotBeWritten) {
  test::SimulatedSystem system;
  system.registry.PutValue(kHkeyLocalMachine, kCdrom, "Autorun", StoredValue::Number(1));
  system.registry.FailWrite(6);  // one of the record's values
  ChangeStore store(system.Context());
  EXPECT_TRUE(ChangeSystemSettings(system.Context(), store));
  EXPECT_EQ(store.Count(), 0);
  EXPECT_EQ(system.registry.Value(kHkeyLocalMachine, kCdrom, "Autorun"), StoredValue::Number(1));
}

}  // namespace
}  // namespace fwu
