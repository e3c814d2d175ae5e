// Per-user stores as a user with the registry editor can leave them: values no run writes.
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "app/resume_state.h"
#include "support/simulated_system.h"
#include "sysconfig/change_system_settings.h"
#include "sysconfig/restore.h"

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

    LoadChangeCount(context);
    EXPECT_EQ(system.change_count, 0);
    ChangeSystemSettings(context, ChangeMode::kRecord);
    EXPECT_EQ(system.registry.Value(kHkeyLocalMachine, kCdrom, "Autorun"), StoredValue::Number(0));
    EXPECT_EQ(system.registry.Subkeys(kHkeyCurrentUser, kStore + "\\Change"),
              std::vector<std::string>{"  1"});

    RestoreSystemSettings(context);
    EXPECT_EQ(system.registry.Value(kHkeyLocalMachine, kCdrom, "Autorun"), StoredValue::Number(1));
    EXPECT_EQ(system.change_count, 0);
  }
}

// The largest count a run can write is still read as it stands.
TEST(EditedStoreTest, TheLargestCountIsKept) {
  test::SimulatedSystem system;
  system.registry.PutValue(kHkeyCurrentUser, kStore, "Changed", StoredValue::Number(0x7FFFFFFF));
  LoadChangeCount(system.Context());
  EXPECT_EQ(system.change_count, 0x7FFFFFFF);
}

}  // namespace
}  // namespace fwu
