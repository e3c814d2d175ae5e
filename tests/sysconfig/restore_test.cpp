#include "sysconfig/restore.h"

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "support/simulated_system.h"
#include "sysconfig/change_records.h"
#include "sysconfig/change_store.h"
#include "sysconfig/restart.h"

namespace fwu {
namespace {

using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;
using sim::StoredValue;

const std::string kStore = std::string("Software\\Quentar_ODD\\") + test::kApplicationName;
const std::string kChange = kStore + "\\Change";
const std::string kCdrom = "SYSTEM\\CurrentControlSet\\Services\\Cdrom";
const std::string kChannel = "SYSTEM\\CurrentControlSet\\Services\\atapi\\Parameters\\Device0";
const std::string kIde =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96A-E325-11CE-BFC1-08002BE10318}\\0000";
const std::string kHdc = "System\\CurrentControlSet\\Services\\Class\\hdc\\0000";

void PutRecordNamed(sim::SimRegistry& registry, const std::string& key_name,
                    const std::string& path, const std::string& name, std::uint32_t type,
                    const StoredValue& old_value) {
  const std::string record = kChange + "\\" + key_name;
  registry.PutValue(kHkeyCurrentUser, record, "SubKey_Name", StoredValue::Text(path));
  registry.PutValue(kHkeyCurrentUser, record, "Value_Name", StoredValue::Text(name));
  registry.PutValue(kHkeyCurrentUser, record, "Value_Type", StoredValue::Number(type));
  registry.PutValue(kHkeyCurrentUser, record, "Value", old_value);
}

void PutRecord(sim::SimRegistry& registry, int number, const std::string& path,
               const std::string& name, std::uint32_t type, const StoredValue& old_value) {
  PutRecordNamed(registry, RecordKeyName(number), path, name, type, old_value);
}

// Without records nothing is written, and the counter says that no record is left, whatever
// "Changed" held: the store then goes.
TEST(RestoreTest, WithoutRecordsNothingChanges) {
  test::SimulatedSystem system;
  system.registry.PutValue(kHkeyCurrentUser, kStore, "Changed", StoredValue::Number(4));
  const std::string no_records = system.registry.ToJson();
  ChangeStore store(system.Context());
  store.LoadCount();
  ASSERT_EQ(store.Count(), 4);
  store.Restore();
  EXPECT_EQ(store.Count(), 0);
  EXPECT_EQ(system.registry.ToJson(), no_records);

  system.registry.PutKey(kHkeyCurrentUser, kChange + "\\Notes");  // no record number
  const std::string before = system.registry.ToJson();
  store.LoadCount();
  ASSERT_EQ(store.Count(), 4);
  store.Restore();
  EXPECT_EQ(store.Count(), 0);
  EXPECT_EQ(system.registry.ToJson(), before);
}

// The caller removes the store when the counter is 0, so the counter must say whether a record
// is left, whatever "Changed" held: above the records (the store outlived its last record),
// below them (the counter went below 0), or below them with a record that stays (the store went
// with a setting that was never given back).
TEST(RestoreTest, TheCounterEndsAtZeroExactlyWhenNoRecordIsLeft) {
  struct Case {
    const char* what;
    std::uint32_t changed;
    std::vector<std::pair<std::string, bool>> records;  // key name, device value still there
    std::int32_t count;
  };
  const std::vector<Case> cases = {
      {"changed above the records", 5, {{"  4", true}, {"  5", true}}, 0},
      {"changed below the records", 1, {{"  1", true}, {"  2", true}, {"  3", true}}, 0},
      {"one number twice", 0, {{"  1", true}, {"1", true}}, 0},
      {"one number twice, one staying", 0, {{"  1", true}, {"1", false}}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::SimulatedSystem system;
    system.registry.PutValue(kHkeyCurrentUser, kStore, "Changed", StoredValue::Number(c.changed));
    system.registry.PutValue(kHkeyLocalMachine, kCdrom, "Autorun", StoredValue::Number(0));
    std::vector<std::string> staying;
    for (const auto& [name, there] : c.records) {
      PutRecordNamed(system.registry, name, there ? kCdrom : kIde, "Autorun", 4,
                     StoredValue::Number(1));
      if (!there) {
        staying.push_back(name);
      }
    }
    ChangeStore store(system.Context());
    store.LoadCount();
    store.Restore();
    EXPECT_EQ(store.Count(), c.count);
    EXPECT_EQ(system.registry.Subkeys(kHkeyCurrentUser, kChange), staying);
    EXPECT_EQ(system.registry.Value(kHkeyLocalMachine, kCdrom, "Autorun"), StoredValue::Number(1));
  }
}

// The restore takes a record by the keys and values it names, as the registry resolves them: a
// hardware key the pass opened with an empty name in its path, a path or value name in other
// letters. Each is one of the settings a pass changes, and comes back.
TEST(RestoreTest, RecordsAreTakenByTheKeysTheyName) {
  struct Case {
    bool is_nt;
    std::string device_key;  // where the setting is
    std::string recorded;    // the path the record holds
    std::string name;
    std::uint32_t type;
    StoredValue changed;
    StoredValue old_value;
    StoredValue restored;
  };
  const std::string scsi = "Enum\\SCSI\\QUENTAR_DVD-ROM\\MF&CHILD0000";
  const std::vector<Case> cases = {
      {false, scsi, scsi + "\\", "DMACurrentlyUsed", 3, StoredValue::Binary({0}),
       StoredValue::Number(1), StoredValue::Binary({1})},
      {false, scsi, "Enum\\SCSI\\\\QUENTAR_DVD-ROM\\MF&CHILD0000", "AutoInsertNotification", 3,
       StoredValue::Binary({0}), StoredValue::Number(1), StoredValue::Binary({1})},
      {true, kCdrom, "system\\currentcontrolset\\services\\cdrom", "autorun", 4,
       StoredValue::Number(0), StoredValue::Number(1), StoredValue::Number(1)},
      {true, kChannel, kChannel + "\\", "DriverParameter", 1,
       StoredValue::Text("DmaDetectionLevel = 0x0;"), StoredValue::Text("DmaDetectionLevel = 0x1;"),
       StoredValue::Text("DmaDetectionLevel = 0x1;")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.recorded + " " + c.name);
    test::SimulatedSystem system(c.is_nt);
    system.registry.PutValue(kHkeyLocalMachine, c.device_key, c.name, c.changed);
    PutRecord(system.registry, 1, c.recorded, c.name, c.type, c.old_value);
    ChangeStore store(system.Context());
    store.LoadCount();
    ASSERT_EQ(store.Count(), 1);
    store.Restore();
    EXPECT_EQ(system.registry.Value(kHkeyLocalMachine, c.device_key, c.name), c.restored);
    EXPECT_EQ(store.Count(), 0);
    EXPECT_TRUE(system.registry.Subkeys(kHkeyCurrentUser, kChange).empty());
  }
}

TEST(RestoreTest, RecordWhoseDeviceValueHasGoneStaysAndTheOthersAreRestored) {
  test::SimulatedSystem system;
  system.registry.PutValue(kHkeyLocalMachine, kChannel, "DriverParameter",
                           StoredValue::Text("DmaDetectionLevel = 0x0;"));
  system.registry.PutValue(kHkeyLocalMachine, kIde, "MasterDeviceTimingMode",
                           StoredValue::Number(0x10));
  system.registry.PutValue(kHkeyLocalMachine, kCdrom, "Autorun", StoredValue::Number(0));
  PutRecord(system.registry, 1, kChannel, "DriverParameter", 1,
            StoredValue::Text("DmaDetectionLevel = 0x1;"));
  PutRecord(system.registry, 2, kIde, "SlaveDeviceTimingMode", 4,
            StoredValue::Number(0x2010));  // value gone
  PutRecord(system.registry, 3, kCdrom, "Autorun", 4, StoredValue::Number(1));
  ChangeStore store(system.Context());
  store.LoadCount();
  ASSERT_EQ(store.Count(), 3);
  store.Restore();

  EXPECT_EQ(store.Count(), 1);
  EXPECT_EQ(system.registry.Value(kHkeyLocalMachine, kChannel, "DriverParameter"),
            StoredValue::Text("DmaDetectionLevel = 0x1;"));
  EXPECT_EQ(system.registry.Value(kHkeyLocalMachine, kCdrom, "Autorun"), StoredValue::Number(1));
  EXPECT_FALSE(
      system.registry.Value(kHkeyLocalMachine, kIde, "SlaveDeviceTimingMode"));  // not created
  EXPECT_EQ(system.registry.Subkeys(kHkeyCurrentUser, kChange), std::vector<std::string>{"  2"});
  EXPECT_EQ(system.registry.OpenHandleCount(), 0U);
}

// A setting recorded twice (its allowed mode once as found, once as this system had set it)
// ends with the older record's value; numbers past 999 count by value, not by name.
TEST(RestoreTest, OldestRecordOfASettingWins) {
  test::SimulatedSystem system;
  system.registry.PutValue(kHkeyLocalMachine, kIde, "MasterDeviceTimingModeAllowed",
                           StoredValue::Number(0x1F));
  PutRecord(system.registry, 999, kIde, "MasterDeviceTimingModeAllowed", 4,
            StoredValue::Number(0xFFFFFFFF));
  PutRecord(system.registry, 1000, kIde, "MasterDeviceTimingModeAllowed", 4,
            StoredValue::Number(0x1F));
  ChangeStore store(system.Context());
  store.LoadCount();
  ASSERT_EQ(store.Count(), 1000);
  store.Restore();
  EXPECT_EQ(store.Count(), 0);  // no record left
  EXPECT_EQ(system.registry.Value(kHkeyLocalMachine, kIde, "MasterDeviceTimingModeAllowed"),
            StoredValue::Number(0xFFFFFFFF));
}

// Only what a change pass of this family writes is written back, and only from a record that
// can be read whole, to a key and value that are there; anything else stays as it is.
TEST(RestoreTest, RecordsNoChangePassWritesOrThatCannotBeUsedAreLeftAlone) {
  test::SimulatedSystem system;
  system.registry.PutValue(kHkeyLocalMachine, kCdrom, "Autorun", StoredValue::Number(0));
  system.registry.PutValue(kHkeyLocalMachine, "SYSTEM\\Setup", "SetupType", StoredValue::Number(0));
  PutRecord(system.registry, 1, kCdrom, "Autorun", 2, StoredValue::Number(1));  // type 2
  PutRecord(system.registry, 2, "SYSTEM\\Setup", "SetupType", 4,
            StoredValue::Number(1));  // foreign key
  PutRecord(system.registry, 3, kCdrom, "AutoRunAlways", 4,
            StoredValue::Number(1));                                            // foreign value
  PutRecord(system.registry, 4, kCdrom, "Autorun", 1, StoredValue::Text("1"));  // wrong type
  PutRecord(system.registry, 5, kCdrom, "Autorun", 4, StoredValue::Text("1"));  // "Value" is text
  PutRecord(system.registry, 6, kHdc, "IDEDMADRIVE0", 3, StoredValue::Number(1));  // 9x record
  PutRecord(system.registry, 7, kCdrom, "Autorun", 4, StoredValue::Number(1));
  system.registry.RemoveValue(kHkeyCurrentUser, kChange + "\\  7", "Value");  // a value missing
  const std::string long_path =
      kIde.substr(0, kIde.rfind('\\') + 1) + std::string(128 - kIde.rfind('\\') - 1, 'X');
  system.registry.PutValue(kHkeyLocalMachine, long_path, "MasterDeviceTimingMode",
                           StoredValue::Number(0x10));
  PutRecord(system.registry, 8, long_path, "MasterDeviceTimingMode", 4,
            StoredValue::Number(0x11));  // "SubKey_Name" of 128 characters
  PutRecord(system.registry, 9, kCdrom, "Autorun", 4, StoredValue::Number(1));
  system.registry.DenyWrites(kHkeyCurrentUser, kChange + "\\  9");  // record key not to be opened
  system.registry.PutValue(kHkeyLocalMachine, kIde, "MasterDeviceTimingMode",
                           StoredValue::Number(0x10));
  PutRecord(system.registry, 10, kIde, "MasterDeviceTimingMode", 4, StoredValue::Number(0x11));
  system.registry.DenyWrites(kHkeyLocalMachine, kIde);  // device key not to be opened
  const std::string before = system.registry.ToJson();
  ChangeStore store(system.Context());
  store.LoadCount();
  ASSERT_EQ(store.Count(), 10);
  store.Restore();
  EXPECT_EQ(store.Count(), 10);
  EXPECT_EQ(system.registry.ToJson(), before);
}

TEST(RestoreTest, FlagByteGoesBackIntoTheValueAsItStands) {
  test::SimulatedSystem system(false);
  system.registry.PutValue(kHkeyLocalMachine, kHdc, "IDEDMADRIVE0", StoredValue::Binary({0x00}));
  system.registry.PutValue(kHkeyLocalMachine, kHdc, "IDEDMADRIVE1",
                           StoredValue::Binary({0x00, 0x02}));
  system.registry.PutValue(kHkeyLocalMachine, kHdc, "AutoInsertNotificationDrive0",
                           StoredValue::Number(0));
  PutRecord(system.registry, 1, kHdc, "IDEDMADRIVE0", 3, StoredValue::Number(1));
  PutRecord(system.registry, 2, kHdc, "IDEDMADRIVE1", 3, StoredValue::Number(1));
  PutRecord(system.registry, 3, kHdc, "AutoInsertNotificationDrive0", 3, StoredValue::Number(1));
  PutRecord(system.registry, 4, kHdc, "AutoInsertNotificationDrive1", 3, StoredValue::Number(256));
  system.registry.PutValue(kHkeyLocalMachine, kHdc, "AutoInsertNotificationDrive1",
                           StoredValue::Binary({0x00}));
  ChangeStore store(system.Context());
  store.LoadCount();
  ASSERT_EQ(store.Count(), 4);
  store.Restore();
  EXPECT_EQ(store.Count(), 1);  // 256 is no byte
  EXPECT_EQ(system.registry.Value(kHkeyLocalMachine, kHdc, "IDEDMADRIVE0"),
            StoredValue::Binary({0x01}));
  EXPECT_EQ(system.registry.Value(kHkeyLocalMachine, kHdc, "IDEDMADRIVE1"),
            StoredValue::Binary({0x01, 0x02}));
  EXPECT_EQ(system.registry.Value(kHkeyLocalMachine, kHdc, "AutoInsertNotificationDrive0"),
            StoredValue::Number(1));
}

// A record is deleted only once its value is back, so a failure costs no original setting.
TEST(RestoreTest, RecordStaysWhenItsWriteBackOrDeletionFails) {
  for (const std::uint32_t failing : {1U, 2U}) {  // the write-back, then the deletion
    test::SimulatedSystem system;
    system.registry.PutValue(kHkeyLocalMachine, kCdrom, "Autorun", StoredValue::Number(0));
    PutRecord(system.registry, 1, kCdrom, "Autorun", 4, StoredValue::Number(1));
    ChangeStore store(system.Context());
    store.LoadCount();
    ASSERT_EQ(store.Count(), 1);
    system.registry.FailWrite(failing);
    store.Restore();
    EXPECT_EQ(store.Count(), 1);
    EXPECT_EQ(system.registry.Subkeys(kHkeyCurrentUser, kChange), std::vector<std::string>{"  1"});
    store.Restore();
    EXPECT_EQ(store.Count(), 0);
    EXPECT_EQ(system.registry.Value(kHkeyLocalMachine, kCdrom, "Autorun"), StoredValue::Number(1));
  }
}

TEST(RestartTest, NtEnablesTheShutdownPrivilegeFirst) {
  sim::SimSystemServices services;
  EXPECT_EQ(RestartWindows(services, true), 1);
  EXPECT_EQ(services.privilege_calls,
            (std::vector<std::string>{"OpenProcessToken", "LookupPrivilegeValue",
                                      "AdjustTokenPrivileges", "CloseHandle"}));
  ASSERT_TRUE(services.exit_request);
  EXPECT_EQ(services.exit_request->flags, 2U);  // EWX_REBOOT, not forced
  EXPECT_EQ(services.exit_request->reason, 0U);
  EXPECT_FALSE(services.token_open);
}

TEST(RestartTest, FailedPrivilegeStepOrRefusalRestartsNothing) {
  sim::SimSystemServices lookup_fails;
  lookup_fails.lookup_privilege_result = 0;
  EXPECT_EQ(RestartWindows(lookup_fails, true), 0);
  EXPECT_FALSE(lookup_fails.exit_request);
  EXPECT_FALSE(lookup_fails.token_open);

  sim::SimSystemServices no_token;
  no_token.open_token_result = 0;
  EXPECT_EQ(RestartWindows(no_token, true), 0);
  EXPECT_FALSE(no_token.exit_request);

  sim::SimSystemServices refused;
  refused.exit_windows_result = 0;
  EXPECT_EQ(RestartWindows(refused, true), 0);
  EXPECT_FALSE(refused.exit_request);
}

TEST(RestartTest, Windows9xRestartsWithoutPrivilegeCalls) {
  sim::SimSystemServices services;
  EXPECT_EQ(RestartWindows(services, false), 1);
  EXPECT_TRUE(services.privilege_calls.empty());
  ASSERT_TRUE(services.exit_request);
  EXPECT_EQ(services.exit_request->flags, 2U);
}

}  // namespace
}  // namespace fwu
