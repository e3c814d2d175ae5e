#include "sysconfig/change_records.h"

#include <gtest/gtest.h>

#include "support/simulated_system.h"
#include "sysconfig/change_store.h"

namespace fwu {
namespace {

using platform::kHkeyCurrentUser;
using sim::StoredValue;

const std::string kStore = std::string("Software\\Quentar_ODD\\") + test::kApplicationName;

TEST(ChangeRecordsTest, RecordKeysAreBlankPaddedToThreePlaces) {
  EXPECT_EQ(RecordKeyName(1), "  1");
  EXPECT_EQ(RecordKeyName(10), " 10");
  EXPECT_EQ(RecordKeyName(999), "999");
  EXPECT_EQ(RecordKeyName(1000), "1000");
  EXPECT_EQ(RecordSection(1), "Change\\  1");
}

// A record takes the next number that holds no record yet: one already in the store is never
// written over, whatever the counter says.
TEST(ChangeRecordsTest, RecordTakesTheNextFreeNumberAndChangedFollowsIt) {
  test::SimulatedSystem system;
  system.registry.PutValue(kHkeyCurrentUser, kStore, "Changed", StoredValue::Number(5));
  system.registry.PutKey(kHkeyCurrentUser, kStore + "\\Change\\  4");
  system.registry.PutKey(kHkeyCurrentUser, kStore + "\\Change\\  5");
  ChangeStore store(system.Context());
  store.LoadCount();
  ASSERT_EQ(store.Count(), 5);
  // A record that appears above the counter after it was loaded.
  system.registry.PutValue(kHkeyCurrentUser, kStore + "\\Change\\  7", "Value",
                           StoredValue::Number(7));

  const ChangeRecord text{"SYSTEM\\CurrentControlSet\\Services\\atapi\\Parameters\\Device0",
                          "DriverParameter", RecordType::kText, "DmaDetectionLevel = 0x1;", 0};
  ASSERT_TRUE(store.Write(text));
  EXPECT_EQ(store.Count(), 6);
  const std::string six = kStore + "\\Change\\  6";
  EXPECT_EQ(system.registry.Value(kHkeyCurrentUser, six, "SubKey_Name"),
            StoredValue::Text(text.key_path));
  EXPECT_EQ(system.registry.Value(kHkeyCurrentUser, six, "Value_Name"),
            StoredValue::Text("DriverParameter"));
  EXPECT_EQ(system.registry.Value(kHkeyCurrentUser, six, "Value_Type"), StoredValue::Number(1));
  EXPECT_EQ(system.registry.Value(kHkeyCurrentUser, six, "Value"),
            StoredValue::Text("DmaDetectionLevel = 0x1;"));
  EXPECT_EQ(system.registry.Value(kHkeyCurrentUser, kStore, "Changed"), StoredValue::Number(6));

  const ChangeRecord flag{"System\\CurrentControlSet\\Services\\Class\\hdc\\0000",
                          "IDEDMADRIVE0",
                          RecordType::kFlagByte,
                          {},
                          1};
  ASSERT_TRUE(store.Write(flag));
  EXPECT_EQ(store.Count(), 8);
  EXPECT_EQ(system.registry.Value(kHkeyCurrentUser, kStore + "\\Change\\  7", "Value"),
            StoredValue::Number(7));
  const std::string eight = kStore + "\\Change\\  8";
  EXPECT_EQ(system.registry.Value(kHkeyCurrentUser, eight, "Value_Type"), StoredValue::Number(3));
  EXPECT_EQ(system.registry.Value(kHkeyCurrentUser, eight, "Value"), StoredValue::Number(1));
  EXPECT_EQ(system.registry.Value(kHkeyCurrentUser, kStore, "Changed"), StoredValue::Number(8));

  // What is written reads back as the same record.
  RegistryKey record_key(system.registry);
  ASSERT_EQ(record_key.Open(kHkeyCurrentUser, six, platform::kKeyAllAccess), 0);
  EXPECT_EQ(ReadChangeRecord(record_key), text);
  ASSERT_EQ(record_key.Open(kHkeyCurrentUser, eight, platform::kKeyAllAccess), 0);
  EXPECT_EQ(ReadChangeRecord(record_key), flag);
}

// A record that could not be written whole does not count, and what was written of it goes
// again: the next one takes its number.
TEST(ChangeRecordsTest, FailedRecordLeavesTheCounterAndChanged) {
  const ChangeRecord autorun{
      "SYSTEM\\CurrentControlSet\\Services\\Cdrom", "Autorun", RecordType::kNumber, {}, 1};
  for (std::uint32_t failing = 1; failing <= 8; ++failing) {
    test::SimulatedSystem system;
    ChangeStore store(system.Context());
    system.registry.FailWrite(failing);
    EXPECT_FALSE(store.Write(autorun)) << "write " << failing;
    EXPECT_EQ(store.Count(), 0);
    EXPECT_FALSE(system.registry.Value(kHkeyCurrentUser, kStore, "Changed"));
    EXPECT_FALSE(system.registry.HasKey(kHkeyCurrentUser, kStore + "\\Change\\  1"));
    EXPECT_TRUE(store.Write(autorun));
    EXPECT_EQ(store.Count(), 1);
  }
}

}  // namespace
}  // namespace fwu
