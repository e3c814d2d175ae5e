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

#include <gtest/gtest.h>

#include "app/run_outcome.h"
#include "emulator/drive_state.h"
#include "resources/dialog_ids.h"
#include "support/simulated_pcs.h"
#include "support/update_cycle.h"

namespace fwu {
namespace {

constexpr int kMostStartsAfterTheLoss = 5;

// What power loss leaves: the registry and the drive's own memory as they were.
struct Snapshot {
  std::string registry;
  emulator::DriveState drive;
};

class CrashSweepTest : public ::testing::TestWithParam<const char*> {
 protected:
  // Counts the points at which power can fail: registry writes and drive commands.
  static void CountPoints(sim::SimulatedPc& pc, const std::function<void()>& at_point) {
    pc.SetRegistryWriteObserver(at_point);
    pc.SetCommandObserver([at_point](std::size_t, const emulator::CommandRecord&) { at_point(); });
  }

  // The user agrees to everything. Whenever the program reports a finished update (the end
  // notice), the drive must really have the new firmware, unless the power is already gone and
  // nobody sees the report.
  static std::function<void(test::AutoUserHost&)> User(sim::SimulatedPc& pc,
                                                       const bool* power_lost = nullptr) {
    return [&pc, power_lost](test::AutoUserHost& user) {
      user.OnOpen([&pc, power_lost](int template_id) {
        if (template_id == ids::kEndNotice && (power_lost == nullptr || !*power_lost)) {
          EXPECT_EQ(pc.Drive(0).Revision(), "1033") << "success reported for an unfinished update";
          EXPECT_EQ(pc.Drive(0).Download(), emulator::DownloadState::kIdle);
        }
      });
    };
  }

  static RunOutcome Start(sim::SimulatedPc& pc, const bool* power_lost = nullptr) {
    return test::StartAgreeing(pc, User(pc, power_lost)).outcome;
  }
};

TEST_P(CrashSweepTest, EveryOriginalSettingComesBackAfterPowerLossAnywhere) {
  std::size_t points = 0;
  std::string original_settings;
  {
    std::unique_ptr<sim::SimulatedPc> pc = test::CycleMachine(GetParam());
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
    std::unique_ptr<sim::SimulatedPc> pc = test::CycleMachine(GetParam());
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
    // until it finds the firmware up to date.
    const test::StartRecord last =
        test::StartUntilUpToDate(*pc, kMostStartsAfterTheLoss, User(*pc));
    test::ExpectCycleFinished(*pc, last, original_settings);
  }
}

INSTANTIATE_TEST_SUITE_P(Systems, CrashSweepTest, ::testing::Values("xp", "98se"),
                         [](const ::testing::TestParamInfo<const char*>& param) {
                           return std::string(param.param);
                         });

}  // namespace
}  // namespace fwu
