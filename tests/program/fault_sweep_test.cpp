// Every drive command of a whole run fails in turn, in each of the ways a drive fails: CHECK
// CONDITION, BUSY, and no completion at all. The run is a first start on a system whose
// settings need no change, so it goes from the search straight to the update: the search's
// commands, the main dialog's scan and check, the start-time check and the download. Each
// failure must end as specified, and nothing may follow a failed download step.
#include <cstddef>
#include <cstdint>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/run_outcome.h"
#include "drive/command_set.h"
#include "emulator/fault_plan.h"
#include "programs/simulated_pc/program_run.h"
#include "resources/dialog_ids.h"
#include "support/auto_user_host.h"
#include "support/simulated_pcs.h"

namespace fwu {
namespace {

using emulator::FaultAction;
using emulator::FaultMatch;
using emulator::FaultRule;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kNotFound = "Could not be found CD-Drive for this program.";
constexpr const char* kUpdateFailed = "Update Failed.";

// Where in the run a command belongs.
enum class Phase : std::uint8_t { kSearch, kDialogCheck, kStartCheck, kDownload };

struct FailureKind {
  const char* name;
  FaultAction action;
};

const std::vector<FailureKind>& FailureKinds() {
  static const std::vector<FailureKind> kinds{
      {"CHECK CONDITION",
       FaultAction::CheckCondition({emulator::sense_key::kHardwareError, 0x44, 0x00})},
      {"BUSY", FaultAction::Status(emulator::scsi_status::kBusy)},
      {"no completion", FaultAction::NoCompletion()},
  };
  return kinds;
}

class FaultSweepTest : public ::testing::TestWithParam<const char*> {
 protected:
  struct Run {
    RunOutcome outcome = RunOutcome::kRefused;
    std::vector<std::string> messages;
    bool success_reported = false;
    std::size_t commands = 0;
  };

  std::unique_ptr<sim::SimulatedPc> Machine() {
    std::unique_ptr<sim::SimulatedPc> pc = test::MakePc(GetParam());
    test::AddTargetDrive(*pc, "1029");
    test::AddSuitableSettings(*pc);
    return pc;
  }

  // One start; the phase of each command is known from which dialog has opened by then.
  Run Start(sim::SimulatedPc& pc, std::vector<Phase>* phases = nullptr) {
    test::AutoUserHost user(pc.Clock());
    Phase phase = Phase::kSearch;
    user.OnOpen([&](int template_id) {
      if (template_id == ids::kUpdateDialog) {
        phase = Phase::kDialogCheck;
      } else if (template_id == ids::kStartNotice) {
        phase = Phase::kDownload;
      }
    });
    pc.SetCommandObserver([&](std::size_t, const emulator::CommandRecord&) {
      if (phases != nullptr) {
        phases->push_back(phase);
      }
    });
    Run run;
    run.outcome = RunProgram(pc, user).outcome;
    run.messages = user.Messages();
    run.success_reported = user.Opened(ids::kEndNotice);
    run.commands = pc.Drive(0).Log().Size();
    pc.SetCommandObserver({});
    return run;
  }
};

TEST_P(FaultSweepTest, EveryCommandFailingInTurnEndsAsSpecified) {
  std::vector<Phase> phases;
  std::vector<std::uint8_t> codes;
  {
    std::unique_ptr<sim::SimulatedPc> pc = Machine();
    const Run clean = Start(*pc, &phases);
    ASSERT_TRUE(clean.success_reported);
    codes = pc->Drive(0).Log().OperationCodes();
  }
  // The start-time check is the three commands before the start notice opened.
  const auto download = std::find(phases.begin(), phases.end(), Phase::kDownload);
  ASSERT_GE(download - phases.begin(), 3);
  std::fill(download - 3, download, Phase::kStartCheck);
  std::cout << "[          ] " << GetParam() << ": " << phases.size() << " commands x "
            << FailureKinds().size() << " ways to fail\n";

  for (std::size_t n = 1; n <= phases.size(); ++n) {
    const Phase phase = phases[n - 1];
    const std::uint8_t code = codes[n - 1];
    for (const FailureKind& kind : FailureKinds()) {
      SCOPED_TRACE("command " + std::to_string(n) + " (operation code " + std::to_string(code) +
                   ") fails with " + kind.name);
      std::unique_ptr<sim::SimulatedPc> pc = Machine();
      pc->Drive(0).Faults().Add(
          FaultRule{FaultMatch::AnyCommand(), kind.action, static_cast<std::uint32_t>(n), 1});
      const Run run = Start(*pc);
      const bool updated = pc->Drive(0).Revision() == "1033";
      if (run.success_reported) {
        EXPECT_TRUE(updated) << "success reported for an update that did not happen";
      }
      if (code == opcode::kTestUnitReady) {
        // ASPI discovery's readiness test is not judged: an empty drive is listed all the same.
        EXPECT_TRUE(updated);
        continue;
      }
      switch (phase) {
        case Phase::kSearch:
          if (code == opcode::kRead10) {
            // The unit-attention clearing does not judge the READ.
            EXPECT_TRUE(updated);
          } else {
            // The drive is not listed, or passed over: no drive for the program.
            EXPECT_EQ(run.outcome, RunOutcome::kNothingToDo);
            EXPECT_THAT(run.messages, ElementsAre(kNotFound));
          }
          break;
        case Phase::kDialogCheck:
          // Update Start stays disabled; the user can only close the dialog.
          EXPECT_EQ(run.outcome, RunOutcome::kLeftUnchanged);
          EXPECT_FALSE(updated);
          EXPECT_THAT(run.messages, IsEmpty());
          EXPECT_EQ(pc->Drive(0).Log().CountOf(opcode::kStartStopUnit), 0U);
          break;
        case Phase::kStartCheck:
          // The transport's error, then the failure; nothing is written.
          EXPECT_EQ(run.outcome, RunOutcome::kLeftUnchanged);
          EXPECT_FALSE(updated);
          ASSERT_EQ(run.messages.size(), 2U);
          EXPECT_EQ(run.messages[1], kUpdateFailed);
          EXPECT_EQ(pc->Drive(0).Log().CountOf(opcode::kStartStopUnit), 0U);
          break;
        case Phase::kDownload:
          if (code == opcode::kPreventAllowMediumRemoval || code == opcode::kStartStopUnit) {
            // Unlocking and ejecting are attempts only; the download goes on. A drive that
            // never answers holds the worker past the dialog's own time-out, which reports a
            // failure; the worker still finishes the download while the dialog waits for it.
            EXPECT_TRUE(updated);
            EXPECT_EQ(run.success_reported, kind.action.kind != emulator::FaultKind::kNoCompletion);
            break;
          }
          EXPECT_EQ(run.outcome, RunOutcome::kLeftUnchanged);
          EXPECT_FALSE(updated);
          EXPECT_THAT(run.messages, ElementsAre(kUpdateFailed));
          EXPECT_EQ(run.commands, n) << "a command was sent after the failed step";
          break;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Systems, FaultSweepTest, ::testing::Values("xp", "98se"),
                         [](const ::testing::TestParamInfo<const char*>& param) {
                           return std::string(param.param);
                         });

}  // namespace
}  // namespace fwu
