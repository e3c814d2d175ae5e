// Per-user stores as a user with the registry editor can leave them: values no run writes.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/simulated_system.h"
#include "sysconfig/change_store.h"
#include "sysconfig/change_system_settings.h"

namespace fwu {
namespace {

using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;
using sim::StoredValue;

const std::string kStore = std::string("Software\\Quentar_ODD\\") + test::kApplicationName;
const std::string kCdrom = "SYSTEM\\CurrentControlSet\\Services\\Cdrom";

// A "Changed" above what the signed counter holds used to turn it negative: the change pass then
// numbered its records 0, -1, ..., names the restore does not take for records, and the settings
// stayed changed after the update. It counts as no count, and the round trip gives them back.
TEST(EditedStoreTest, ACountTheCounterCannotHoldReadsAsNoneAndTheSettingsComeBack) {
  for (const std::uint32_t changed : {0x80000000U, 0xFFFFFFFCU, 0xFFFFFFFFU}) {
    SCOPED_TRACE(changed);
    test::SimulatedSystem system;
    system.registry.PutValue(kHkeyCurrentUser, kStore, "Changed", StoredValue::Number(changed));
    system.registry.PutValue(kHkeyLocalMachine, kCdrom, "Autorun", StoredValue::Number(1));
    const SystemContext context = system.Context();
    ChangeStore store(context);

    store.LoadCount();
    EXPECT_EQ(store.Count(), 0);
    ChangeSystemSettings(context, store);
    EXPECT_EQ(system.registry.Value(kHkeyLocalMachine, kCdrom, "Autorun"), StoredValue::Number(0));
    EXPECT_EQ(system.registry.Subkeys(kHkeyCurrentUser, kStore + "\\Change"),
              std::vector<std::string>{"  1"});

    store.Restore();
    EXPECT_EQ(system.registry.Value(kHkeyLocalMachine, kCdrom, "Autorun"), StoredValue::Number(1));
    EXPECT_EQ(store.Count(), 0);
  }
}

// A run cut off in the middle of its change pass leaves records above "Changed", or no "Changed"
// at all, and an edited store can hold such records too. The next pass used to number its first
// record "Changed" + 1 and write it over one of them, whose setting then never came back.
TEST(EditedStoreTest, RecordsAboveChangedAreNeverWrittenOver) {
  const std::string ide =
      "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96A-E325-11CE-BFC1-08002BE10318}";
  const std::string channel = "SYSTEM\\CurrentControlSet\\Services\\atapi\\Parameters\\Device0";
  for (const std::optional<std::uint32_t> changed :
       {std::optional<std::uint32_t>{}, std::optional<std::uint32_t>{0},
        std::optional<std::uint32_t>{1}}) {
    SCOPED_TRACE(changed ? std::to_string(*changed) : "no Changed");
    test::SimulatedSystem system;
    if (changed) {
      system.registry.PutValue(kHkeyCurrentUser, kStore, "Changed", StoredValue::Number(*changed));
    }
    // The settings the cut-off run changed, with their records.
    system.registry.PutValue(kHkeyLocalMachine, kCdrom, "Autorun", StoredValue::Number(0));
    system.registry.PutValue(kHkeyLocalMachine, ide, "Class", StoredValue::Text("hdc"));
    system.registry.PutValue(kHkeyLocalMachine, ide + "\\0000", "MasterDeviceTimingMode",
                             StoredValue::Number(0x10));
    const auto record = [&](const char* name, const std::string& path, const char* value,
                            std::uint32_t old_value) {
      const std::string key = kStore + "\\Change\\" + name;
      system.registry.PutValue(kHkeyCurrentUser, key, "SubKey_Name", StoredValue::Text(path));
      system.registry.PutValue(kHkeyCurrentUser, key, "Value_Name", StoredValue::Text(value));
      system.registry.PutValue(kHkeyCurrentUser, key, "Value_Type", StoredValue::Number(4));
      system.registry.PutValue(kHkeyCurrentUser, key, "Value", StoredValue::Number(old_value));
    };
    record("  1", kCdrom, "Autorun", 1);
    record("  2", ide + "\\0000", "MasterDeviceTimingMode", 0x11);
    // A setting still to change.
    system.registry.PutValue(kHkeyLocalMachine, channel, "DriverParameter",
                             StoredValue::Text("DmaDetectionLevel = 0x1;"));
    const SystemContext context = system.Context();
    ChangeStore store(context);

    store.LoadCount();
    EXPECT_EQ(store.Count(), 2);
    ChangeSystemSettings(context, store);
    EXPECT_EQ(system.registry.Subkeys(kHkeyCurrentUser, kStore + "\\Change"),
              (std::vector<std::string>{"  1", "  2", "  3"}));

    store.Restore();
    EXPECT_EQ(system.registry.Value(kHkeyLocalMachine, kCdrom, "Autorun"), StoredValue::Number(1));
    EXPECT_EQ(system.registry.Value(kHkeyLocalMachine, ide + "\\0000", "MasterDeviceTimingMode"),
              StoredValue::Number(0x11));
    EXPECT_EQ(system.registry.Value(kHkeyLocalMachine, channel, "DriverParameter"),
              StoredValue::Text("DmaDetectionLevel = 0x1;"));
    EXPECT_EQ(store.Count(), 0);
  }
}

// The largest count a run can write is still read as it stands.
TEST(EditedStoreTest, TheLargestCountIsKept) {
  test::SimulatedSystem system;
  system.registry.PutValue(kHkeyCurrentUser, kStore, "Changed", StoredValue::Number(0x7FFFFFFF));
  ChangeStore store(system.Context());
  store.LoadCount();
  EXPECT_EQ(store.Count(), 0x7FFFFFFF);
}

}  // namespace
}  // namespace fwu
