// The whole cycle as a user meets it, on Windows XP (pass-through) and Windows 98 SE (ASPI), in
// English and in Japanese: the first start prepares the system and restarts Windows; after the
// restart the logon starts the program again, which updates the drive, restores the settings
// and restarts; a third start finds nothing to do. The registry ends as it began.
#include <memory>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "app/run_outcome.h"
#include "programs/simulated_pc/program_run.h"
#include "resources/dialog_ids.h"
#include "support/drive_rig.h"
#include "support/scripted_dialog_host.h"
#include "support/simulated_pcs.h"

namespace fwu {
namespace {

using test::Scenario;
using test::ScriptedWindow;

struct Language {
  int code_page;
  int reboot_notice;
  int warning_notice;
  int start_notice;
  int end_notice;
  const char* up_to_date;
};

constexpr Language kEnglish{
    test::kEnglishCodePage, ids::kRebootNotice,
    ids::kWarningNotice,    ids::kStartNotice,
    ids::kEndNotice,        "CD-Drive firmware is NOT need to update firmware."};
constexpr Language kJapanese{
    test::kJapaneseCodePage,     ids::kRebootNoticeJapanese,
    ids::kWarningNoticeJapanese, ids::kStartNoticeJapanese,
    ids::kEndNoticeJapanese,     "CD ドライブのファームウェアは書き換え不要です。"};

class FullCycleTest : public ::testing::TestWithParam<std::tuple<const char*, Language>> {
 protected:
  const Language& Lang() const { return std::get<1>(GetParam()); }

  sim::ProgramRun Boot(sim::SimulatedPc& pc, Scenario scenario) {
    test::ScriptedDialogHost host(pc.Clock(), std::move(scenario));
    return RunProgram(pc, host);
  }
};

TEST_P(FullCycleTest, PrepareRestartResumeUpdateRestoreRestart) {
  std::unique_ptr<sim::SimulatedPc> pc = test::MakePc(std::get<0>(GetParam()), Lang().code_page);
  emulator::EmulatedDrive& drive = test::AddTargetDrive(*pc, "1029");
  test::AddSettingsNeedingChange(*pc);
  pc->system.screen_saver_active = 1;
  const std::string registry_before = pc->registry.ToJson();
  const std::string settings_before = test::DeviceSettings(*pc);

  // The user starts the program by hand.
  ASSERT_FALSE(RunEntryStartsProgram(*pc));
  sim::ProgramRun run = Boot(*pc, Scenario()
                                      .Opens(ids::kAgreementDialog)
                                      .Press(ids::kAgree)
                                      .Opens(Lang().reboot_notice)
                                      .Press(ids::kOk));
  EXPECT_EQ(run.outcome, RunOutcome::kPrepared);
  ASSERT_TRUE(run.restart_requested);
  EXPECT_NE(test::DeviceSettings(*pc), settings_before);
  EXPECT_EQ(drive.Revision(), "1029");

  // Windows restarts; the logon starts the program from the Run entry.
  pc->Restart();
  ASSERT_TRUE(RunEntryStartsProgram(*pc));
  run = Boot(*pc, Scenario()
                      .Opens(Lang().warning_notice)
                      .Press(ids::kOk)
                      .Opens(ids::kUpdateDialog,
                             [](const ScriptedWindow& main) {
                               EXPECT_TRUE(main.IsEnabled(ids::kUpdateStart));
                             })
                      .Press(ids::kUpdateStart)
                      .Opens(Lang().start_notice)
                      .Press(ids::kOk)
                      .Opens(Lang().end_notice)
                      .Press(ids::kOk));
  EXPECT_EQ(run.outcome, RunOutcome::kRestored);
  EXPECT_TRUE(run.restart_requested);
  EXPECT_EQ(drive.Revision(), "1033");
  EXPECT_EQ(drive.Build(), 32);
  const std::vector<std::uint8_t> plain = test::PlainImage();
  EXPECT_TRUE(std::equal(plain.begin(), plain.end(), drive.ReceivedImage().begin(),
                         drive.ReceivedImage().end()));
  EXPECT_EQ(pc->registry.ToJson(), registry_before) << "value for value, nothing left behind";
  EXPECT_EQ(pc->system.screen_saver_active, 1U);

  // After the second restart nobody starts the program; by hand it has nothing more to do.
  pc->Restart();
  EXPECT_FALSE(RunEntryStartsProgram(*pc));
  run = Boot(*pc, Scenario().MessageBox(Lang().up_to_date));
  EXPECT_EQ(run.outcome, RunOutcome::kNothingToDo);
  EXPECT_FALSE(run.restart_requested);
  EXPECT_EQ(pc->registry.ToJson(), registry_before);
  EXPECT_EQ(pc->registry.OpenHandleCount(), 0U);
}

INSTANTIATE_TEST_SUITE_P(
    Systems, FullCycleTest,
    ::testing::Combine(::testing::Values("xp", "98se"), ::testing::Values(kEnglish, kJapanese)),
    [](const ::testing::TestParamInfo<std::tuple<const char*, Language>>& param) {
      return std::string(std::get<0>(param.param)) +
             (std::get<1>(param.param).code_page == test::kJapaneseCodePage ? "Japanese"
                                                                            : "English");
    });

}  // namespace
}  // namespace fwu
