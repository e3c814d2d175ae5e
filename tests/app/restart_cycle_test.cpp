#include <filesystem>
#include <functional>
#include <iostream>
#include <string>

#include <gtest/gtest.h>

#include "app/resume_state.h"
#include "support/simulated_system.h"
#include "sysconfig/change_store.h"
#include "sysconfig/change_system_settings.h"

namespace fwu {
namespace {

using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;

const std::string kStore = std::string("Software\\Quentar_ODD\\") + test::kApplicationName;
const std::string kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\run";

enum class Outcome { kRefused, kPrepared, kUpdated };

// The registry side of one start that finds a drive needing the update, in the order of the
// run paths; `before_preparation` runs when the preparation writes are about to begin.
Outcome Start(test::SimulatedSystem& system, const std::function<void()>& before_preparation = {}) {
  const SystemContext context = system.Context();
  ChangeStore store(context);
  if (!CheckPendingRestart(context, store)) {
    return Outcome::kRefused;
  }
  const RunEntryProbe probe = ProbeRunEntry(context);
  const bool store_parent_preexisting = store.ReadOrigin();
  if (SystemSettingsNeedChange(context)) {
    if (before_preparation) {
      before_preparation();
    }
    store.LoadCount();
    ChangeSystemSettings(context, store);
    store.SaveCount();
    if (!probe.run_entry_unavailable) {
      WriteRunEntry(context, probe.program_path);
    }
    MarkPendingRestart(context);
    store.SaveOrigin(store_parent_preexisting);
    return Outcome::kPrepared;
  }
  store.LoadCount();
  store.Restore();
  if (store.Count() == 0) {
    store.Remove(store_parent_preexisting);
  }
  return Outcome::kUpdated;
}

// Windows comes up again with the registry as its last successful write left it (the file
// round trip has a test of its own); the program's memory is gone, and it held no key open.
void Restart(test::SimulatedSystem& system) {
  ASSERT_EQ(system.registry.OpenHandleCount(), 0U);
  system.registry.ClearWriteFaults();
}

void AddDeviceSettings(test::SimulatedSystem& system) {
  if (system.IsNt()) {
    test::AddNtDeviceSettings(system.registry);
  } else {
    test::AddWin9xDeviceSettings(system.registry);
  }
}

// Prepare, restart with the registry saved to a file and loaded by a new simulated PC, update:
// every device setting is back, value and type, and nothing of the run is left.
TEST(RestartCycleTest, SettingsComeBackThroughTheRegistryFile) {
  for (const bool is_nt : {true, false}) {
    SCOPED_TRACE(is_nt ? "NT" : "9x");
    const auto file = std::filesystem::temp_directory_path() / "fwu_restart_cycle_test.json";
    std::string original;
    {
      test::SimulatedSystem first(is_nt);
      AddDeviceSettings(first);
      original = test::DeviceSettingsJson(first.registry, is_nt);
      ASSERT_EQ(Start(first), Outcome::kPrepared);
      EXPECT_NE(test::DeviceSettingsJson(first.registry, is_nt), original);
      EXPECT_EQ(first.registry.OpenHandleCount(), 0U);
      ASSERT_TRUE(first.registry.SaveFile(file));
    }
    test::SimulatedSystem second(is_nt);
    ASSERT_TRUE(second.registry.LoadFile(file));
    std::filesystem::remove(file);
    ASSERT_EQ(Start(second), Outcome::kUpdated);
    EXPECT_EQ(test::DeviceSettingsJson(second.registry, is_nt), original);
    // The store goes only once the counter is down to 0.
    EXPECT_FALSE(second.registry.HasKey(kHkeyCurrentUser, "Software\\Quentar_ODD"));
    EXPECT_FALSE(second.registry.HasKey(kHkeyLocalMachine, "Software\\QUENTAR_ODD_KALDER"));
    EXPECT_FALSE(second.registry.Value(kHkeyCurrentUser, kRun, test::kApplicationName));
    EXPECT_EQ(second.registry.OpenHandleCount(), 0U);
  }
}

// Power fails right after the k-th registry write of a prepare-restart-update cycle, for every
// k; the starts that follow carry on until an update start has restored the settings. Whatever
// k, every original setting is back. A failure in the preparation leaves nothing behind either
// but a record the power cut off before its last value: it stands for no change, and as no
// record is written over, it stays. One in the update start may leave a store without records.
TEST(RestartCycleTest, PowerLossAtAnyWriteLosesNoOriginalSetting) {
  int tried = 0;
  for (const bool is_nt : {true, false}) {
    for (const bool parent_there : {false, true}) {
      std::uint32_t preparation_writes = 0;
      std::uint32_t cycle_writes = 0;
      std::string original;
      {
        test::SimulatedSystem system(is_nt);
        AddDeviceSettings(system);
        original = test::DeviceSettingsJson(system.registry, is_nt);
        ASSERT_EQ(Start(system), Outcome::kPrepared);
        preparation_writes = system.registry.WriteCount();
        Restart(system);
        ASSERT_EQ(Start(system), Outcome::kUpdated);
        cycle_writes = preparation_writes + system.registry.WriteCount();
      }
      for (std::uint32_t k = 0; k < cycle_writes; ++k) {
        SCOPED_TRACE(std::string(is_nt ? "NT" : "9x") + (parent_there ? " with parent" : "") +
                     ", power lost after write " + std::to_string(k));
        test::SimulatedSystem system(is_nt);
        AddDeviceSettings(system);
        if (parent_there) {
          system.registry.PutKey(kHkeyCurrentUser, "Software\\Quentar_ODD");
        }
        Outcome outcome = Start(system, [&] { system.registry.StopWritesAfter(k); });
        ASSERT_EQ(outcome, Outcome::kPrepared);
        if (k >= preparation_writes) {  // the preparation got through; the update start fails
          Restart(system);
          system.registry.StopWritesAfter(k - preparation_writes);
          Start(system);
        }
        // The starts after the failure find the drive still to be updated.
        int starts = 0;
        do {
          Restart(system);
          outcome = Start(system);
          ASSERT_NE(outcome, Outcome::kRefused);
        } while (outcome != Outcome::kUpdated && ++starts < 4);
        ASSERT_EQ(outcome, Outcome::kUpdated);
        EXPECT_EQ(test::DeviceSettingsJson(system.registry, is_nt), original);
        EXPECT_FALSE(system.registry.HasKey(kHkeyLocalMachine, "Software\\QUENTAR_ODD_KALDER"));
        EXPECT_FALSE(system.registry.Value(kHkeyCurrentUser, kRun, test::kApplicationName));
        if (k < preparation_writes) {
          for (const std::string& record :
               system.registry.Subkeys(kHkeyCurrentUser, kStore + "\\Change")) {
            EXPECT_FALSE(
                system.registry.Value(kHkeyCurrentUser, kStore + "\\Change\\" + record, "Value"))
                << record;
          }
        }
        EXPECT_EQ(system.registry.OpenHandleCount(), 0U);
        ++tried;
      }
    }
  }
  std::cout << "Power loss tried at " << tried << " registry writes\n";
}

}  // namespace
}  // namespace fwu
