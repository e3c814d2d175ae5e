// Power loss anywhere in the cycle, through the whole program: after each registry write and
// after each drive command of the first two starts (the search, the preparation, the checks and
// the download), the PC loses power. Its registry and drives come back as they were at that
// moment; the user then starts the program as long as it has something to do (or the logon
// does, when a Run entry is there). Every original setting must come back, the drive must end
// up with the new firmware, and no start may report a finished update that is not.
#include <cstddef>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/run_outcome.h"
#include "emulator/drive_state.h"
#include "resources/dialog_ids.h"
#include "support/auto_user_host.h"
#include "support/simulated_pcs.h"

namespace fwu {
namespace {

constexpr int kMostStartsAfterTheLoss = 5;
constexpr const char* kUpToDate = "CD-Drive firmware is NOT need to update firmware.";

// What power loss leaves: the registry and the drive's own memory as they were.
struct Snapshot {
  std::string registry;
  emulator::DriveState drive;
};

class CrashSweepTest : public ::testing::TestWithParam<const char*> {
 protected:
  std::unique_ptr<sim::SimulatedPc> Machine() {
    std::unique_ptr<sim::SimulatedPc> pc = test::MakePc(GetParam());
    test::AddTargetDrive(*pc, "1029");
    test::AddSettingsNeedingChange(*pc);
    return pc;
  }

  // Counts the points at which power can fail: registry writes and drive commands.
  static void CountPoints(sim::SimulatedPc& pc, const std::function<void()>& at_point) {
    pc.SetRegistryWriteObserver(at_point);
    pc.SetCommandObserver([at_point](std::size_t, const emulator::CommandRecord&) { at_point(); });
  }

  // One start with the user who agrees to everything. Whenever the program reports a finished
  // update (the end notice), the drive must really have the new firmware, unless the power is
  // already gone and nobody sees the report.
  RunOutcome Start(sim::SimulatedPc& pc, const bool* power_lost = nullptr) {
    test::AutoUserHost user(pc.Clock());
    user.OnOpen([&](int template_id) {
      if (template_id == ids::kEndNotice && (power_lost == nullptr || !*power_lost)) {
        EXPECT_EQ(pc.Drive(0).Revision(), "1033") << "success reported for an unfinished update";
        EXPECT_EQ(pc.Drive(0).Download(), emulator::DownloadState::kIdle);
      }
    });
    const RunOutcome outcome = pc.RunProgram(user).outcome;
    last_messages_ = user.Messages();
    return outcome;
  }

  std::vector<std::string> last_messages_;
};

TEST_P(CrashSweepTest, EveryOriginalSettingComesBackAfterPowerLossAnywhere) {
  std::size_t points = 0;
  std::string original_settings;
  {
    std::unique_ptr<sim::SimulatedPc> pc = Machine();
    original_settings = test::DeviceSettings(*pc);
    CountPoints(*pc, [&] { ++points; });
    ASSERT_EQ(Start(*pc), RunOutcome::kPrepared);
    pc->Restart();
    ASSERT_EQ(Start(*pc), RunOutcome::kRestored);
    ASSERT_EQ(pc->Drive(0).Revision(), "1033");
  }
  std::cout << "[          ] " << GetParam() << ": " << points
            << " crash points (registry writes and drive commands)\n";
  ASSERT_GT(points, 20U);

  for (std::size_t crash = 1; crash <= points; ++crash) {
    SCOPED_TRACE("power lost after point " + std::to_string(crash) + " of " +
                 std::to_string(points));
    std::unique_ptr<sim::SimulatedPc> pc = Machine();
    std::size_t point = 0;
    bool power_lost = false;
    std::optional<Snapshot> snapshot;
    CountPoints(*pc, [&] {
      if (++point == crash) {
        power_lost = true;
        snapshot = Snapshot{pc->registry.ToJson(), pc->Drive(0).State()};
      }
    });
    // The two starts of the cycle, until the power fails; the rest of that start is lost.
    Start(*pc, &power_lost);
    if (!power_lost) {
      pc->Restart();
      Start(*pc, &power_lost);
    }
    ASSERT_TRUE(snapshot);
    pc->SetRegistryWriteObserver({});
    pc->SetCommandObserver({});
    ASSERT_TRUE(pc->registry.LoadJson(snapshot->registry));
    pc->Drive(0).SetState(snapshot->drive);
    pc->system.screen_saver_active = 0;

    // Power comes back: Windows starts, and so does the program, by the Run entry or by hand,
    // until it has nothing left to do.
    RunOutcome outcome = RunOutcome::kRefused;
    for (int start = 0; start < kMostStartsAfterTheLoss && outcome != RunOutcome::kNothingToDo;
         ++start) {
      pc->Restart();
      outcome = Start(*pc);
    }
    ASSERT_EQ(outcome, RunOutcome::kNothingToDo);
    EXPECT_EQ(last_messages_, std::vector<std::string>{kUpToDate});
    EXPECT_EQ(pc->Drive(0).Revision(), "1033");
    EXPECT_EQ(test::DeviceSettings(*pc), original_settings);
    EXPECT_FALSE(pc->registry.HasKey(platform::kHkeyLocalMachine, "Software\\QUENTAR_ODD_KALDER"));
    EXPECT_FALSE(pc->RunEntryStartsProgram());
    EXPECT_EQ(pc->registry.OpenHandleCount(), 0U);
  }
}

INSTANTIATE_TEST_SUITE_P(Systems, CrashSweepTest, ::testing::Values("xp", "98se"),
                         [](const ::testing::TestParamInfo<const char*>& param) {
                           return std::string(param.param);
                         });

}  // namespace
}  // namespace fwu
