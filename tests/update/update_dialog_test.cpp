// The main update dialog as the user meets it, over emulated drives on both transports: the
// scan and checks, a whole update on the virtual clock, the progress curve and its time-out,
// the failures, the ways the dialog ends, the shutdown guard and the Japanese texts.
#include "update/update_dialog.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "drive/command_set.h"
#include "emulator/emulated_drive.h"
#include "emulator/fault_plan.h"
#include "platform/sim/system_call_faults.h"
#include "resources/dialog_ids.h"
#include "support/drive_rig.h"
#include "support/scripted_dialog_host.h"
#include "support/shift_jis.h"
#include "support/thread_decorators.h"

namespace fwu {
namespace {

using emulator::EmulatedDrive;
using emulator::FaultAction;
using emulator::FaultMatch;
using emulator::FaultRule;
using emulator::PageCommand;
using test::Scenario;
using test::ScriptedWindow;
using test::TransportKind;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

constexpr int kEnglish = 1252;
constexpr int kJapanese = 932;
constexpr std::uint32_t kSettleMs = 122000;

// 0 when the dialog opens, 2 at the start, 4 .. 88 over the first 43 ticks.
std::vector<int> RisingCurve() {
  std::vector<int> curve{0};
  for (int position = 2; position <= 88; position += 2) {
    curve.push_back(position);
  }
  return curve;
}

bool Ended(const ScriptedWindow& window) {
  return window.Ended();
}

class UpdateDialogScenario : public ::testing::TestWithParam<TransportKind> {
 protected:
  void Machine(int code_page = kEnglish) {
    dialog_.reset();
    host_.reset();
    misbehaving_.reset();
    rig_.emplace(GetParam(), code_page);
  }

  EmulatedDrive& Target(std::string revision = "1029", std::int8_t build = 32) {
    EmulatedDrive& drive = rig_->AddDrive(EmulatedDrive::XtM7731(std::move(revision), build));
    drive.KnowFirmware(plain_, emulator::FirmwareIdentity{"1033", 32});
    return drive;
  }

  // Shows the dialog by the scenario and returns its restore result.
  int Run(Scenario scenario, std::int32_t settings_changed = 0,
          std::span<const FirmwareImage> images = ImageList(),
          platform::Threads* threads = nullptr) {
    host_.emplace(rig_->Clock(), std::move(scenario));
    host_->FailTimers(fail_timers_);
    host_->SetFaults(&faults_);
    dialog_.emplace(*host_, threads != nullptr ? *threads : rig_->Clock(), rig_->Clock(),
                    rig_->Locale(), rig_->Transport(), images);
    dialog_->SetSettingsChanged(settings_changed);
    const auto wall_start = std::chrono::steady_clock::now();
    host_->RunModal(*dialog_, 0);
    wall_time_ = std::chrono::steady_clock::now() - wall_start;
    return dialog_->RestoreResult();
  }

  std::uint64_t Now() { return rig_->Clock().NowMilliseconds(); }
  const ScriptedWindow& Main() const { return *host_->OpenWindow(ids::kUpdateDialog); }

  // After the dialog has ended no simulated thread may still be at work: finishing them all
  // moves no time and sends no command.
  void ExpectNoWorkerLeft(const EmulatedDrive& drive) {
    const std::uint64_t ended = Now();
    const std::size_t commands = drive.Log().Size();
    rig_->Clock().FinishThreads();
    EXPECT_EQ(Now(), ended);
    EXPECT_EQ(drive.Log().Size(), commands);
  }

  // The commands the drive saw from the given record on.
  static std::vector<std::uint8_t> OperationCodesFrom(const EmulatedDrive& drive,
                                                      std::size_t first) {
    const std::vector<std::uint8_t> all = drive.Log().OperationCodes();
    return {all.begin() + static_cast<std::ptrdiff_t>(std::min(first, all.size())), all.end()};
  }

  // The pages of the download, without the checks' identification queries.
  static std::vector<PageCommand> DownloadPages(const EmulatedDrive& drive) {
    std::vector<PageCommand> pages = drive.Log().SentPages();
    std::erase_if(pages, [](const PageCommand& page) { return page.sub_command == 0x40; });
    return pages;
  }

  void ExpectFailedState(const ScriptedWindow& window, const std::string& status) {
    EXPECT_EQ(window.Utf8Text(ids::kStatusLine), status);
    EXPECT_EQ(window.ProgressPosition(ids::kProgressBar), 0);
    EXPECT_TRUE(window.IsEnabled(ids::kCancelButton));
    EXPECT_FALSE(window.IsEnabled(ids::kUpdateStart));
    EXPECT_FALSE(window.IsEnabled(ids::kDriveList));
    EXPECT_FALSE(window.TimerRunning(ids::kProgressTimer));
    EXPECT_EQ(host_->WaitCursorDepth(), 0);
    EXPECT_FALSE(host_->WaitCursorRequested());
  }

  std::vector<std::uint8_t> plain_ = test::PlainImage();
  std::optional<test::DriveRig> rig_;
  std::optional<test::MisbehavingThreads> misbehaving_;
  std::optional<test::ScriptedDialogHost> host_;
  std::optional<UpdateDialog> dialog_;
  bool fail_timers_ = false;
  sim::SystemCallFaults faults_;
  std::chrono::steady_clock::duration wall_time_{};
};

TEST_P(UpdateDialogScenario, AWholeUpdateWritesThePlainImageInTheFixedCommandSequence) {
  Machine();
  EmulatedDrive& drive = Target("1029");
  std::size_t first_command = 0;
  std::uint64_t started = 0;
  Scenario scenario;
  scenario
      .Opens(ids::kUpdateDialog,
             [&](const ScriptedWindow& window) {
               EXPECT_EQ(window.Title(), "Firmware Update Utility Ver.5.2.0 for  DVD-ROM XT-M7731");
               EXPECT_EQ(window.Text(ids::kDriveLabel), "CD-Drive");
               EXPECT_EQ(window.Text(ids::kEmptyStatic), "");
               const std::string entry = rig_->Transport().GetEntry(0);
               ASSERT_GT(entry.size(), 29U);
               EXPECT_THAT(window.ListEntries(ids::kDriveList), ElementsAre(entry.substr(0, 29)));
               EXPECT_EQ(window.ListSelection(ids::kDriveList), 0);
               EXPECT_EQ(window.Text(ids::kStatusLine), " ");
               EXPECT_EQ(window.Text(ids::kCurrentRevision), "1029");
               EXPECT_EQ(window.Text(ids::kNewVersion), "1033");
               EXPECT_TRUE(window.IsEnabled(ids::kUpdateStart));
               EXPECT_EQ(window.Text(ids::kUpdateStart), "Update Start");
               EXPECT_EQ(window.Text(ids::kCancelButton), "CANCEL");
               EXPECT_EQ(window.MenuItemText(ids::kMenuAbout), "About");
               EXPECT_EQ(window.Icon(), ids::kIcon);
               EXPECT_EQ(window.ProgressPosition(ids::kProgressBar), 0);
               EXPECT_EQ(host_->WaitCursorDepth(), 0) << "the scan's wait cursor has ended";
             })
      .RequestEveryShutdown(true)
      .Do([&] {
        first_command = drive.Log().Size();
        started = Now();
      })
      .Press(ids::kUpdateStart)
      .Opens(ids::kStartNotice)
      .Press(ids::kOk)
      .Verify([&](const ScriptedWindow& window) {
        EXPECT_EQ(window.Text(ids::kStatusLine), "Now Updating...");
        EXPECT_EQ(window.ProgressPosition(ids::kProgressBar), 2);
        EXPECT_FALSE(window.IsEnabled(ids::kUpdateStart));
        EXPECT_FALSE(window.IsEnabled(ids::kCancelButton));
        EXPECT_FALSE(window.IsEnabled(ids::kDriveList));
        EXPECT_TRUE(window.TimerRunning(ids::kProgressTimer));
        EXPECT_TRUE(host_->WaitCursorRequested());
        EXPECT_EQ(dialog_->RestoreResult(), UpdateDialog::kRestoreSettings);
      })
      .RequestEveryShutdown(true)
      .Opens(ids::kEndNotice,
             [&](const ScriptedWindow& /*notice*/) {
               EXPECT_EQ(Main().Text(ids::kStatusLine), "Update Complete.");
               std::vector<int> curve = RisingCurve();
               curve.push_back(100);
               EXPECT_THAT(Main().ProgressHistory(ids::kProgressBar), ElementsAreArray(curve));
             })
      .Press(ids::kOk);

  EXPECT_EQ(Run(std::move(scenario)), UpdateDialog::kRestoreNothing);

  const auto records = drive.Log().Records();
  // INQUIRY and the identification query of the start-time check, then the worker's commands.
  EXPECT_THAT(OperationCodesFrom(drive, first_command),
              ElementsAre(0x12, 0x1D, 0x1C, 0x1E, 0x1B, 0x1D, 0x1D, 0x1D, 0x1D, 0x1D, 0x1D, 0x1D,
                          0x1D, 0x1D));
  const std::size_t prevent = first_command + 3;
  ASSERT_EQ(records.size(), prevent + 11);
  EXPECT_THAT(records[prevent].cdb, ElementsAre(0x1E, 0, 0, 0, 0x00, 0));
  EXPECT_THAT(records[prevent + 1].cdb, ElementsAre(0x1B, 0, 0, 0, 0x02, 0));
  const std::vector<PageCommand> download{{0xF0, 0x00}, {0xF0, 0xFF}, {0xC0, 1},
                                          {0xC0, 2},    {0xC0, 3},    {0xC0, 4},
                                          {0xC0, 5},    {0xC0, 6},    {0xC0, 0x00}};
  EXPECT_THAT(DownloadPages(drive), ElementsAreArray(download));
  for (std::size_t i = prevent + 2; i < records.size(); ++i) {
    const bool block =
        records[i].page && records[i].page->sub_command == 0xC0 && records[i].page->argument != 0;
    EXPECT_EQ(records[i].data_length, block ? 32776U : 8U) << "record " << i;
    EXPECT_EQ(records[i].status, 0) << "record " << i;
  }
  // The eject, then 122 s for the drive; the two 0xF0 steps 3 s apart.
  const auto& eject = records[prevent + 1];
  const auto& arm = records[prevent + 2];
  const auto& start = records[prevent + 3];
  EXPECT_GE(arm.time_ms, eject.time_ms + eject.duration_ms + kSettleMs);
  EXPECT_LT(arm.time_ms, eject.time_ms + eject.duration_ms + kSettleMs + 100);
  EXPECT_GE(start.time_ms, arm.time_ms + arm.duration_ms + 3000);
  EXPECT_LT(start.time_ms, arm.time_ms + arm.duration_ms + 3100);
  EXPECT_GE(eject.time_ms, started);

  EXPECT_TRUE(std::ranges::equal(drive.ReceivedImage(), plain_));
  EXPECT_EQ(drive.Revision(), "1033");
  EXPECT_THAT(host_->Transcript(), ElementsAre("open 102", "open 138", "end 138: 1", "open 136",
                                               "end 136: 1", "end 102: 1"));
  EXPECT_EQ(dialog_->ClosePermission(), 1);
  std::intptr_t answer = 0;
  EXPECT_FALSE(dialog_->OnGuardMessage(platform::kWmQueryEndSession, 0, answer));
  EXPECT_EQ(host_->WaitCursorDepth(), 0);
  ExpectNoWorkerLeft(drive);
  EXPECT_LT(wall_time_, std::chrono::seconds(2)) << "virtual time costs no wall time";
}

// A close request during the update shows the cancel notice and ends nothing: the update goes
// on, and its success keeps the restore result at 1.
TEST_P(UpdateDialogScenario, WithChangedSettingsASuccessfulUpdateLeavesTheRestoreResultAtOne) {
  Machine();
  const EmulatedDrive& drive = Target("1033", 31);
  Scenario scenario;
  scenario.Opens(ids::kUpdateDialog)
      .Press(ids::kUpdateStart)
      .Opens(ids::kStartNotice)
      .Press(ids::kOk)
      .RequestClose()
      .Opens(ids::kCancelNotice)
      .Press(ids::kOk)
      .Verify([](const ScriptedWindow& window) {
        EXPECT_FALSE(window.Ended());
        EXPECT_EQ(window.Text(ids::kStatusLine), "Now Updating...");
        EXPECT_TRUE(window.TimerRunning(ids::kProgressTimer));
      })
      .RequestEveryShutdown(true)
      .Opens(ids::kEndNotice)
      .Press(ids::kOk);
  EXPECT_EQ(Run(std::move(scenario), 1), UpdateDialog::kRestoreSettings);
  EXPECT_EQ(drive.Revision(), "1033");
}

TEST_P(UpdateDialogScenario, ADownloadStepThatNeverCompletesTimesOutAtTheHundredthTick) {
  Machine();
  EmulatedDrive& drive = Target();
  drive.Faults().Add(
      FaultRule{FaultMatch::Page(0xF0, 0x00), FaultAction::NoCompletion(), 1, emulator::kForever});
  std::uint64_t started = 0;
  Scenario scenario;
  scenario.Opens(ids::kUpdateDialog)
      .Press(ids::kUpdateStart)
      .Opens(ids::kStartNotice, [&](const ScriptedWindow& /*notice*/) { started = Now(); })
      .Press(ids::kOk)
      .MessageBox("Update Failed.")
      .Verify([&](const ScriptedWindow& window) {
        EXPECT_EQ(Now() - started, 100U * UpdateDialog::kProgressPeriodMs);
        std::vector<int> curve = RisingCurve();
        curve.insert(curve.end(), {0, 0});
        EXPECT_THAT(window.ProgressHistory(ids::kProgressBar), ElementsAreArray(curve));
        ExpectFailedState(window, "Update Failed.");
        EXPECT_THAT(DownloadPages(drive), ElementsAre(PageCommand{0xF0, 0x00}));
      })
      .RequestEveryShutdown(true)
      .Press(ids::kCancelButton)
      .Verify([&](const ScriptedWindow& window) {
        // The worker still waits on the drive: CANCEL waits for it.
        EXPECT_FALSE(window.Ended());
        EXPECT_FALSE(window.IsEnabled(ids::kCancelButton));
        EXPECT_TRUE(host_->WaitCursorRequested());
      })
      .RequestEveryShutdown(true)
      .RequestClose()
      .WaitUntil(Ended, "the dialog ends");

  EXPECT_EQ(Run(std::move(scenario)), UpdateDialog::kRestoreNothing);
  EXPECT_GT(Now() - started, 100U * UpdateDialog::kProgressPeriodMs);
  EXPECT_THAT(DownloadPages(drive), ElementsAre(PageCommand{0xF0, 0x00}));
  EXPECT_EQ(host_->WaitCursorDepth(), 0);
  ExpectNoWorkerLeft(drive);
}

TEST_P(UpdateDialogScenario, ACorruptedImageSendsNothingAndFailsAtTheFirstTick) {
  Machine();
  EmulatedDrive& drive = Target();
  std::vector<std::uint8_t> stored(ImageList()[0].stored.begin(), ImageList()[0].stored.end());
  stored[70000] ^= 0x01;
  FirmwareImage corrupted = ImageList()[0];
  corrupted.stored = std::span<const std::uint8_t, kImageBytes>(stored.data(), kImageBytes);
  const std::vector<FirmwareImage> images{corrupted};
  std::uint64_t started = 0;
  Scenario scenario;
  scenario.Opens(ids::kUpdateDialog)
      .Press(ids::kUpdateStart)
      .Opens(ids::kStartNotice, [&](const ScriptedWindow& /*notice*/) { started = Now(); })
      .Press(ids::kOk)
      .MessageBox("Update Failed.")
      .Verify([&](const ScriptedWindow& window) {
        EXPECT_EQ(Now() - started, UpdateDialog::kProgressPeriodMs);
        EXPECT_THAT(window.ProgressHistory(ids::kProgressBar), ElementsAre(0, 2, 0, 0));
        ExpectFailedState(window, "Update Failed.");
      })
      .Press(ids::kCancelButton);

  EXPECT_EQ(Run(std::move(scenario), 0, images), UpdateDialog::kRestoreNothing);
  EXPECT_EQ(drive.Log().CountOf(opcode::kPreventAllowMediumRemoval), 0U);
  EXPECT_EQ(drive.Log().CountOf(opcode::kStartStopUnit), 0U);
  EXPECT_TRUE(DownloadPages(drive).empty());
}

TEST_P(UpdateDialogScenario, ARejectedFirstDownloadStepEndsTheWorkerAfterTheEjectAndTheWait) {
  Machine();
  EmulatedDrive& drive = Target();
  drive.Faults().Add(
      FaultRule{FaultMatch::Page(0xF0, 0x00),
                FaultAction::CheckCondition(emulator::sense::kInvalidFieldInParameterList)});
  std::size_t first_command = 0;
  Scenario scenario;
  scenario.Opens(ids::kUpdateDialog)
      .Do([&] { first_command = drive.Log().Size(); })
      .Press(ids::kUpdateStart)
      .Opens(ids::kStartNotice)
      .Press(ids::kOk)
      .MessageBox("Update Failed.")
      .Verify([&](const ScriptedWindow& window) { ExpectFailedState(window, "Update Failed."); })
      .Press(ids::kCancelButton);

  EXPECT_EQ(Run(std::move(scenario)), UpdateDialog::kRestoreNothing);
  EXPECT_THAT(OperationCodesFrom(drive, first_command),
              ElementsAre(0x12, 0x1D, 0x1C, 0x1E, 0x1B, 0x1D));
  const auto records = drive.Log().Records();
  const auto& eject = records[records.size() - 2];
  EXPECT_GE(records.back().time_ms, eject.time_ms + kSettleMs);
  ExpectNoWorkerLeft(drive);
}

TEST_P(UpdateDialogScenario, ARejectedFourthBlockLeavesBlocksOneToThreeAndNothingAfter) {
  Machine();
  EmulatedDrive& drive = Target();
  drive.Faults().Add(
      FaultRule{FaultMatch::Page(0xC0, 4),
                FaultAction::CheckCondition(emulator::sense::kInvalidFieldInParameterList)});
  Scenario scenario;
  scenario.Opens(ids::kUpdateDialog)
      .Press(ids::kUpdateStart)
      .Opens(ids::kStartNotice)
      .Press(ids::kOk)
      .MessageBox("Update Failed.")
      .Press(ids::kCancelButton);

  EXPECT_EQ(Run(std::move(scenario)), UpdateDialog::kRestoreNothing);
  EXPECT_THAT(DownloadPages(drive),
              ElementsAre(PageCommand{0xF0, 0x00}, PageCommand{0xF0, 0xFF}, PageCommand{0xC0, 1},
                          PageCommand{0xC0, 2}, PageCommand{0xC0, 3}, PageCommand{0xC0, 4}));
  const auto received = drive.ReceivedImage();
  constexpr std::size_t kThreeBlocks = 3 * kDownloadBlockBytes;
  EXPECT_TRUE(std::equal(received.begin(), received.begin() + kThreeBlocks, plain_.begin()));
  EXPECT_TRUE(std::all_of(received.begin() + kThreeBlocks, received.end(),
                          [](std::uint8_t byte) { return byte == 0; }));
  EXPECT_EQ(drive.Revision(), "1029");
}

TEST_P(UpdateDialogScenario, AStartFailureShowsTheTransportsErrorTextInTheMessageLanguage) {
  for (const int code_page : {kEnglish, kJapanese}) {
    Machine(code_page);
    EmulatedDrive& drive = Target();
    const bool japanese = code_page == kJapanese;
    Scenario scenario;
    scenario.Opens(ids::kUpdateDialog)
        .Do([&] {
          drive.Faults().Add(
              FaultRule{FaultMatch::Command(opcode::kInquiry),
                        FaultAction::CheckCondition(emulator::sense::kMediumNotPresent), 1,
                        emulator::kForever});
        })
        .Press(ids::kUpdateStart)
        .MessageBoxThat([&](const std::string& text) {
          const std::string error = rig_->Transport().GetErrorText();
          EXPECT_FALSE(error.empty());
          EXPECT_EQ(text, (japanese ? "エラー:" : "") + error);
        })
        .MessageBox(japanese ? "アップデートに失敗しました。" : "Update Failed.")
        .Verify([&](const ScriptedWindow& window) {
          ExpectFailedState(window, japanese ? "アップデート失敗。" : "Update Failed.");
        })
        .RequestEveryShutdown(true)
        .Press(ids::kCancelButton);

    EXPECT_EQ(Run(std::move(scenario)), UpdateDialog::kRestoreNothing) << code_page;
    EXPECT_EQ(drive.Log().CountOf(opcode::kStartStopUnit), 0U);
    ExpectNoWorkerLeft(drive);
  }
}

TEST_P(UpdateDialogScenario, AResumeReportingTwoThenOneTakesTwoCallsAndTheUpdateRuns) {
  Machine();
  EmulatedDrive& drive = Target();
  test::MisbehavingThreads& threads = misbehaving_.emplace(rig_->Clock());
  threads.ScriptResumes({2, 1});
  Scenario scenario;
  scenario.Opens(ids::kUpdateDialog)
      .Press(ids::kUpdateStart)
      .Opens(ids::kStartNotice)
      .Press(ids::kOk)
      .Opens(ids::kEndNotice)
      .Press(ids::kOk);
  EXPECT_EQ(Run(std::move(scenario), 0, ImageList(), &threads), UpdateDialog::kRestoreNothing);
  EXPECT_EQ(threads.ResumeCalls(), 2);
  EXPECT_TRUE(std::ranges::equal(drive.ReceivedImage(), plain_));
}

// A start that fails, before the worker thread runs or after, is a true failure: the drive
// receives nothing from the worker, even from one that a late resume or a missing progress
// timer has already let run.
TEST_P(UpdateDialogScenario, AWorkerThatCannotBeStartedFullySendsNothing) {
  struct Case {
    std::string name;
    std::function<void(test::MisbehavingThreads&)> misbehave;
    int resume_calls;
    bool timers_fail = false;
  };
  const std::vector<Case> cases{
      {"suspend count stays above 1", [](auto& t) { t.ScriptResumes({5}); }, 11},
      {"the eleventh resume lets it run",
       [](auto& t) {
         t.ScriptResumes({2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 1});
       },
       11},
      {"resume fails", [](auto& t) { t.ScriptResumes({platform::kResumeFailed}); }, 1},
      {"duplicate fails", [](auto& t) { t.FailDuplicate(); }, 0},
      {"no progress timer", [](auto& /*t*/) {}, 1, true},
  };
  for (const Case& c : cases) {
    Machine();
    EmulatedDrive& drive = Target();
    test::MisbehavingThreads& threads = misbehaving_.emplace(rig_->Clock());
    c.misbehave(threads);
    fail_timers_ = c.timers_fail;
    Scenario scenario;
    scenario.Opens(ids::kUpdateDialog)
        .Press(ids::kUpdateStart)
        .Opens(ids::kStartNotice)
        .Press(ids::kOk)
        .MessageBox("Update Failed.")
        .Verify([&](const ScriptedWindow& window) { ExpectFailedState(window, "Update Failed."); })
        .Press(ids::kCancelButton);
    EXPECT_EQ(Run(std::move(scenario), 0, ImageList(), &threads), UpdateDialog::kRestoreNothing)
        << c.name;
    EXPECT_EQ(threads.ResumeCalls(), c.resume_calls) << c.name;
    EXPECT_EQ(drive.Log().CountOf(opcode::kStartStopUnit), 0U) << c.name;
    EXPECT_TRUE(DownloadPages(drive).empty()) << c.name;
    ExpectNoWorkerLeft(drive);
  }
  fail_timers_ = false;
}

// CANCEL after a time-out waits for the worker, which still waits on the drive, also when its
// own wait timer cannot be had. Meanwhile the dialog goes on answering: the shutdown guard
// refuses, a close request adds no close step of its own, and the cancel notice comes once,
// when the worker has ended.
TEST_P(UpdateDialogScenario, CancelWaitsForTheWorkerWhileTheDialogGoesOnAnswering) {
  for (const bool wait_timer : {true, false}) {
    SCOPED_TRACE(wait_timer ? "with its wait timer" : "without its wait timer");
    Machine();
    EmulatedDrive& drive = Target();
    drive.Faults().Add(FaultRule{FaultMatch::Page(0xF0, 0x00), FaultAction::NoCompletion(), 1,
                                 emulator::kForever});
    faults_.Clear();
    Scenario scenario;
    scenario.Opens(ids::kUpdateDialog)
        .Press(ids::kUpdateStart)
        .Opens(ids::kStartNotice)
        .Press(ids::kOk)
        .MessageBox("Update Failed.")
        .Do([&] {
          if (!wait_timer) {
            faults_.FailEvery(sim::SystemCall::kTimer);
          }
        })
        .Press(ids::kCancelButton)
        .RequestEveryShutdown(true)
        .RequestClose()
        .Verify([&](const ScriptedWindow& window) {
          EXPECT_FALSE(window.Ended());
          EXPECT_FALSE(window.IsEnabled(ids::kCancelButton));
          EXPECT_TRUE(host_->WaitCursorRequested());
        })
        .RequestEveryShutdown(true)
        .Opens(ids::kCancelNotice)
        .Press(ids::kOk);
    EXPECT_EQ(Run(std::move(scenario), 1), UpdateDialog::kRestoreSettings);
    EXPECT_EQ(std::count(host_->Transcript().begin(), host_->Transcript().end(), "open 133"), 1);
    EXPECT_EQ(host_->WaitCursorDepth(), 0);
    ExpectNoWorkerLeft(drive);
  }
  faults_.Clear();
}

// A notice that cannot be shown is no OK: without the start notice nothing starts, without the
// cancel notice nothing is restored, and without the end notice the dialog stays until CANCEL,
// whose notice then decides.
TEST_P(UpdateDialogScenario, ANoticeThatCannotBeShownLeadsNowhere) {
  struct Case {
    std::string name;
    std::function<void(Scenario&)> play;
    int restore_result;
    bool updated;
  };
  const std::vector<Case> cases{
      {"start notice",
       [&](Scenario& s) {
         s.Press(ids::kUpdateStart)
             .FailsToOpen(ids::kStartNotice)
             .MessageBox("Update Failed.")
             .Verify([&](const ScriptedWindow& w) { ExpectFailedState(w, "Update Failed."); })
             .Press(ids::kCancelButton)
             .Opens(ids::kCancelNotice)
             .Press(ids::kOk);
       },
       UpdateDialog::kRestoreSettings, false},
      {"cancel notice",
       [](Scenario& s) { s.Press(ids::kCancelButton).FailsToOpen(ids::kCancelNotice); },
       UpdateDialog::kRestoreNothing, false},
      {"end notice",
       [](Scenario& s) {
         s.Press(ids::kUpdateStart)
             .Opens(ids::kStartNotice)
             .Press(ids::kOk)
             .FailsToOpen(ids::kEndNotice)
             .Verify([](const ScriptedWindow& w) {
               EXPECT_FALSE(w.Ended());
               EXPECT_EQ(w.Text(ids::kStatusLine), "Update Complete.");
               EXPECT_TRUE(w.IsEnabled(ids::kCancelButton));
               EXPECT_FALSE(w.IsEnabled(ids::kUpdateStart));
             })
             .RequestEveryShutdown(true)
             .Press(ids::kCancelButton)
             .Opens(ids::kCancelNotice)
             .Press(ids::kOk);
       },
       UpdateDialog::kRestoreSettings, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Machine();
    const EmulatedDrive& drive = Target();
    Scenario scenario;
    scenario.Opens(ids::kUpdateDialog);
    c.play(scenario);
    EXPECT_EQ(Run(std::move(scenario), 1), c.restore_result);
    EXPECT_EQ(drive.Revision(), c.updated ? "1033" : "1029");
    EXPECT_EQ(drive.Log().CountOf(opcode::kStartStopUnit), c.updated ? 1U : 0U);
    ExpectNoWorkerLeft(drive);
  }
}

// The status line as the dialog paints it: "Scan Complete." after the scan, and at last what
// the check found, in the message language.
TEST_P(UpdateDialogScenario, TheStatusLineShowsTheScanAndWhatTheCheckFound) {
  struct Case {
    std::string revision;
    const char* english;
    const char* japanese;
  };
  const std::vector<Case> cases{
      {"1133", "Not support firmware.", "サポートしないファームウェアです。"},
      {"1040", "Unnecessary Firmware Update Drive.", "ファームウェアのアップデートは不要です。"},
      {"2033", "Not Support.", "サポートしないCD ドライブです。"},
      {"1029", " ", " "},
  };
  for (const int code_page : {kEnglish, kJapanese}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.revision + " under code page " + std::to_string(code_page));
      Machine(code_page);
      Target(c.revision);
      const bool japanese = code_page == kJapanese;
      Scenario scenario;
      scenario
          .Opens(ids::kUpdateDialog,
                 [&](const ScriptedWindow& window) {
                   const std::vector<std::string> painted =
                       window.PaintedUtf8Texts(ids::kStatusLine);
                   ASSERT_GE(painted.size(), 2U);
                   EXPECT_EQ(painted.front(), japanese ? "スキャン終了。" : "Scan Complete.");
                   EXPECT_EQ(painted.back(), japanese ? c.japanese : c.english);
                 })
          .Press(ids::kCancelButton);
      Run(std::move(scenario));
    }
  }
}

// Only the About entry's own system command opens the About box; the commands next to it are
// the system's.
TEST_P(UpdateDialogScenario, OnlyTheAboutEntrysOwnSystemCommandOpensTheAboutBox) {
  Machine();
  Target();
  Scenario scenario;
  scenario.Opens(ids::kUpdateDialog);
  for (std::uint32_t command = ids::kSystemMenuAbout + 1; command <= 0x001F; ++command) {
    scenario.SystemCommand(command);
  }
  scenario.SystemCommand(ids::kSystemMenuAbout)
      .Opens(ids::kAboutDialog)
      .Press(ids::kOk)
      .Press(ids::kCancelButton);
  Run(std::move(scenario));
  EXPECT_THAT(host_->Transcript(), ElementsAre("open 102", "open 100", "end 100: 1", "end 102: 1"));
}

TEST_P(UpdateDialogScenario, EscapeAndTheCloseRequestNeverEndTheDialog) {
  Machine();
  Target();
  Scenario scenario;
  scenario.Opens(ids::kUpdateDialog)
      .Escape()
      .RequestClose()
      .SystemCommand(0xF060)
      .Verify([](const ScriptedWindow& window) { EXPECT_FALSE(window.Ended()); })
      .RequestEveryShutdown(true)
      .Press(ids::kCancelButton);
  EXPECT_EQ(Run(std::move(scenario)), UpdateDialog::kRestoreNothing);
  EXPECT_THAT(host_->Transcript(), ElementsAre("open 102", "end 102: 1"))
      << "no cancel notice without changed settings";
}

TEST_P(UpdateDialogScenario, WithChangedSettingsTheCancelNoticeDecidesTheRestoreResult) {
  for (const int code_page : {kEnglish, kJapanese}) {
    Machine(code_page);
    Target();
    const int notice = code_page == kJapanese ? ids::kCancelNoticeJapanese : ids::kCancelNotice;
    Scenario scenario;
    scenario.Opens(ids::kUpdateDialog)
        .RequestClose()
        .Opens(notice)
        .RequestEveryShutdown(true)
        .Press(ids::kOk)
        .Verify([&](const ScriptedWindow& window) {
          EXPECT_FALSE(window.Ended());
          EXPECT_EQ(dialog_->RestoreResult(), UpdateDialog::kRestoreSettings);
        })
        .Escape()
        .Press(ids::kCancelButton)
        .Opens(notice)
        .Press(ids::kOk);
    EXPECT_EQ(Run(std::move(scenario), 3), UpdateDialog::kRestoreSettings) << code_page;
    EXPECT_EQ(dialog_->ClosePermission(), 1);
  }
}

TEST_P(UpdateDialogScenario, JapaneseTextsThroughoutButAnEnglishAboutBox) {
  Machine(kJapanese);
  Target("1040");
  EmulatedDrive& second = Target("1029");
  Scenario scenario;
  scenario
      .Opens(ids::kUpdateDialog,
             [](const ScriptedWindow& window) {
               EXPECT_EQ(window.Utf8Text(ids::kDriveLabel), "CD ドライブ");
               EXPECT_EQ(window.Utf8Text(ids::kUpdateStart), "アップデート開始");
               EXPECT_EQ(window.Utf8Text(ids::kCancelButton), "中止");
               EXPECT_EQ(window.Utf8Text(ids::kStatusLine),
                         "ファームウェアのアップデートは不要です。");
               EXPECT_FALSE(window.IsEnabled(ids::kUpdateStart));
               EXPECT_EQ(test::ShiftJisToUtf8(window.MenuItemText(ids::kMenuAbout)),
                         "バージョン情報");
               EXPECT_EQ(window.Title(), "Firmware Update Utility Ver.5.2.0 for  DVD-ROM XT-M7731");
             })
      .Command(static_cast<int>(ids::kMenuAbout))
      .Opens(ids::kAboutDialog,
             [](const ScriptedWindow& about) {
               EXPECT_EQ(about.Title(), "About  Firmware Update Utility");
               EXPECT_EQ(about.Text(ids::kAboutModel), "DVD-ROM XT-M7731");
               EXPECT_EQ(about.Text(ids::kAboutVersion), "");
               EXPECT_FALSE(about.IsVisible(ids::kAboutVersion));
             })
      .RequestEveryShutdown(true)
      .Press(ids::kOk)
      .SystemCommand(ids::kSystemMenuAbout)
      .Opens(ids::kAboutDialog)
      .Press(ids::kOk)
      .Pick(ids::kDriveList, 1)
      .Verify([](const ScriptedWindow& window) {
        EXPECT_EQ(window.Text(ids::kStatusLine), " ");
        EXPECT_EQ(window.Text(ids::kCurrentRevision), "1029");
        EXPECT_TRUE(window.IsEnabled(ids::kUpdateStart));
      })
      .Press(ids::kUpdateStart)
      .Opens(ids::kStartNoticeJapanese,
             [](const ScriptedWindow& notice) {
               EXPECT_THAT(notice.Utf8Text(ids::kStartTextJapanese),
                           ::testing::StartsWith("ファームウェアのアップデートには約3 分"));
             })
      .Press(ids::kOk)
      .Verify([](const ScriptedWindow& window) {
        EXPECT_EQ(window.Utf8Text(ids::kStatusLine), "アップデート中…");
      })
      .Opens(ids::kEndNoticeJapanese,
             [&](const ScriptedWindow& /*notice*/) {
               EXPECT_EQ(Main().Utf8Text(ids::kStatusLine), "アップデート終了。");
             })
      .Press(ids::kOk);
  EXPECT_EQ(Run(std::move(scenario)), UpdateDialog::kRestoreNothing);
  EXPECT_EQ(second.Revision(), "1033");
}

TEST_P(UpdateDialogScenario, WithoutAnyDriveUpdateStartStaysDisabled) {
  Machine();
  Scenario scenario;
  scenario
      .Opens(ids::kUpdateDialog,
             [](const ScriptedWindow& window) {
               EXPECT_TRUE(window.ListEntries(ids::kDriveList).empty());
               EXPECT_EQ(window.ListSelection(ids::kDriveList), -1);
               EXPECT_EQ(window.Text(ids::kStatusLine), "Not Support.");
               EXPECT_FALSE(window.IsEnabled(ids::kUpdateStart));
             })
      .Press(ids::kCancelButton);
  EXPECT_EQ(Run(std::move(scenario)), UpdateDialog::kRestoreNothing);
  EXPECT_EQ(host_->Beeps(), 0);
}

INSTANTIATE_TEST_SUITE_P(Transports, UpdateDialogScenario,
                         ::testing::Values(TransportKind::kPassThrough, TransportKind::kAspi),
                         [](const auto& param_info) { return test::NameOf(param_info.param); });

}  // namespace
}  // namespace fwu
