// The run paths through the whole program: what "Not Agree" and CANCEL on the restart notice
// leave behind, the resumed start without the terms, the notice text when no Run entry can be
// written, a main dialog that restores nothing, a restore that leaves records behind, and the
// records of an unfinished run given back when the drive turns out to be up to date.
#include "app/run_paths.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/resume_state.h"
#include "programs/simulated_pc/program_run.h"
#include "resources/dialog_ids.h"
#include "support/scripted_dialog_host.h"
#include "support/simulated_pcs.h"

namespace fwu {
namespace {

using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;
using sim::StoredValue;
using test::Scenario;
using test::ScriptedWindow;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kApplication = "XTM7731UP";
constexpr const char* kStore = "Software\\Quentar_ODD\\XTM7731UP";
constexpr const char* kMarker = "Software\\QUENTAR_ODD_KALDER";
constexpr const char* kUpToDate = "CD-Drive firmware is NOT need to update firmware.";

class RunPathsTest : public ::testing::Test {
 protected:
  sim::SimulatedPc& Pc(std::string_view windows = "xp", int code_page = test::kEnglishCodePage) {
    pc_ = test::MakePc(windows, code_page);
    test::AddTargetDrive(*pc_);
    pc_->system.screen_saver_active = 1;
    return *pc_;
  }

  RunOutcome Start(Scenario scenario) {
    test::ScriptedDialogHost host(pc_->Clock(), std::move(scenario));
    return RunProgram(*pc_, host).outcome;
  }

  static Scenario& Update(Scenario& scenario) {
    return scenario.Opens(ids::kUpdateDialog)
        .Press(ids::kUpdateStart)
        .Opens(ids::kStartNotice)
        .Press(ids::kOk)
        .Opens(ids::kEndNotice)
        .Press(ids::kOk);
  }

  std::optional<StoredValue> RunEntry() const {
    return pc_->registry.Value(kHkeyCurrentUser, kRunKeyPath, kApplication);
  }

  std::unique_ptr<sim::SimulatedPc> pc_;
};

// Declining at either point, or a dialog there that cannot be shown, changes no setting and
// writes nothing; a Run entry found at this start is gone all the same, and the screen saver
// is back.
TEST_F(RunPathsTest, DecliningChangesNothing) {
  struct Case {
    const char* name;
    std::function<void(Scenario&)> answer;
  };
  const std::vector<Case> cases{
      {"Not Agree", [](Scenario& s) { s.Opens(ids::kAgreementDialog).Press(ids::kNotAgree); }},
      {"terms not shown", [](Scenario& s) { s.FailsToOpen(ids::kAgreementDialog); }},
      {"CANCEL on the restart notice",
       [](Scenario& s) {
         s.Opens(ids::kAgreementDialog)
             .Press(ids::kAgree)
             .Opens(ids::kRebootNotice)
             .Press(ids::kRebootCancel);
       }},
      {"restart notice not shown",
       [](Scenario& s) {
         s.Opens(ids::kAgreementDialog).Press(ids::kAgree).FailsToOpen(ids::kRebootNotice);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::SimulatedPc& pc = Pc();
    test::AddSettingsNeedingChange(pc);
    const std::string before = pc.registry.ToJson();
    Scenario scenario;
    c.answer(scenario);
    EXPECT_EQ(Start(std::move(scenario)), RunOutcome::kDeclined);
    EXPECT_EQ(pc.registry.ToJson(), before);
    EXPECT_EQ(pc.registry.OpenHandleCount(), 0U);
    EXPECT_FALSE(pc.system.exit_request);
    EXPECT_THAT(pc.system.screen_saver_writes, ElementsAre(false, true));
  }
}

// A start the Run entry made (whatever the entry holds) skips the terms and deletes the entry.
TEST_F(RunPathsTest, AResumedStartSkipsTheTerms) {
  sim::SimulatedPc& pc = Pc();
  pc.registry.PutValue(kHkeyCurrentUser, kRunKeyPath, kApplication,
                       StoredValue::Text("D:\\elsewhere\\other.exe"));
  Scenario scenario;
  scenario.Opens(ids::kWarningNotice).Press(ids::kOk);
  EXPECT_EQ(Start(std::move(Update(scenario))), RunOutcome::kLeftUnchanged);
  EXPECT_FALSE(RunEntry());
}

// The start after the restart finds the drive already up to date (it was updated meanwhile):
// it says so, gives the changed settings back without restarting Windows, and leaves nothing
// of the run behind.
TEST_F(RunPathsTest, AResumedStartOnWhichNoDriveNeedsTheUpdateGivesTheSettingsBack) {
  for (const char* windows : {"xp", "98se"}) {
    SCOPED_TRACE(windows);
    sim::SimulatedPc& pc = Pc(windows);
    test::AddSettingsNeedingChange(pc);
    const std::string settings = test::DeviceSettings(pc);
    ASSERT_EQ(Start(Scenario()
                        .Opens(ids::kAgreementDialog)
                        .Press(ids::kAgree)
                        .Opens(ids::kRebootNotice)
                        .Press(ids::kOk)),
              RunOutcome::kPrepared);
    pc.Restart();
    emulator::DriveState updated = pc.Drive(0).State();
    updated.revision = "1033";
    pc.Drive(0).SetState(updated);
    ASSERT_TRUE(RunEntryStartsProgram(pc));

    EXPECT_EQ(Start(Scenario().MessageBox(kUpToDate)), RunOutcome::kNothingToDo);
    EXPECT_EQ(test::DeviceSettings(pc), settings);
    EXPECT_FALSE(pc.system.exit_request);
    EXPECT_FALSE(pc.registry.HasKey(kHkeyCurrentUser, kStore));
    EXPECT_FALSE(pc.registry.HasKey(kHkeyLocalMachine, kMarker));
    EXPECT_FALSE(RunEntry());
  }
}

// Without the warning to close the other programs, the main dialog does not open.
TEST_F(RunPathsTest, AWarningThatCannotBeShownOpensNoMainDialog) {
  sim::SimulatedPc& pc = Pc();
  test::AddSuitableSettings(pc);
  EXPECT_EQ(Start(Scenario()
                      .Opens(ids::kAgreementDialog)
                      .Press(ids::kAgree)
                      .FailsToOpen(ids::kWarningNotice)),
            RunOutcome::kDeclined);
  EXPECT_EQ(pc.Drive(0).Revision(), "1029");
  EXPECT_FALSE(pc.system.exit_request);
  EXPECT_THAT(pc.system.screen_saver_writes, ElementsAre(false, true));
}

// The restart notice says whether the program will start again by itself; when no Run entry
// can be written it asks the user to start it, and none is written. In both languages.
TEST_F(RunPathsTest, TheRestartNoticeTellsWhetherTheUserMustStartTheProgramAgain) {
  struct Case {
    int code_page;
    bool run_key_writable;
    int notice;
    int text_control;
    const char* text;
  };
  const Case cases[] = {
      {test::kEnglishCodePage, true, ids::kRebootNotice, ids::kRebootText,
       "Change system configuration and restart for update firmware.\r\n"
       "Please update firmware after restart."},
      {test::kEnglishCodePage, false, ids::kRebootNotice, ids::kRebootText,
       "Change system configuration and restart for update firmware.\r\n"
       "Please run again this program after restart."},
      {test::kJapaneseCodePage, true, ids::kRebootNoticeJapanese, ids::kRebootTextJapanese,
       "ファームウェアを書き換えられるようシステム設定を変更して再起動します。\r\n"
       "再起動後ファームウェアのアップデートを行ってください。"},
      {test::kJapaneseCodePage, false, ids::kRebootNoticeJapanese, ids::kRebootTextJapanese,
       "ファームウェアを書き換えられるようシステム設定を変更して再起動します。\r\n"
       "再起動後もう一度このプログラムを実行して下さい。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.code_page) + (c.run_key_writable ? "" : ", Run key denied"));
    sim::SimulatedPc& pc = Pc("xp", c.code_page);
    test::AddSettingsNeedingChange(pc);
    if (!c.run_key_writable) {
      pc.registry.DenyWrites(kHkeyCurrentUser, kRunKeyPath);
    }
    EXPECT_EQ(Start(Scenario()
                        .Opens(ids::kAgreementDialog)
                        .Press(ids::kAgree)
                        .Opens(c.notice,
                               [&](const ScriptedWindow& notice) {
                                 EXPECT_EQ(notice.Utf8Text(c.text_control), c.text);
                               })
                        .Press(ids::kOk)),
              RunOutcome::kPrepared);
    EXPECT_EQ(RunEntry().has_value(), c.run_key_writable);
    EXPECT_EQ(RunEntryStartsProgram(pc), c.run_key_writable);
    EXPECT_TRUE(pc.registry.HasKey(kHkeyLocalMachine, kMarker));
    EXPECT_TRUE(pc.system.exit_request);
  }
}

// An update on settings that needed no change: restore result 2 restores nothing and restarts
// nothing; the store that loading the counter made stays, empty.
TEST_F(RunPathsTest, RestoreResultTwoLeavesEverythingAsItIs) {
  sim::SimulatedPc& pc = Pc();
  test::AddSuitableSettings(pc);
  const std::string settings = test::DeviceSettings(pc);
  Scenario scenario;
  scenario.Opens(ids::kAgreementDialog)
      .Press(ids::kAgree)
      .Opens(ids::kWarningNotice)
      .Press(ids::kOk);
  EXPECT_EQ(Start(std::move(Update(scenario))), RunOutcome::kLeftUnchanged);
  EXPECT_EQ(pc.Drive(0).Revision(), "1033");
  EXPECT_FALSE(pc.system.exit_request);
  EXPECT_EQ(test::DeviceSettings(pc), settings);
  EXPECT_TRUE(pc.registry.HasKey(kHkeyCurrentUser, kStore));
  EXPECT_THAT(pc.registry.Subkeys(kHkeyCurrentUser, kStore), IsEmpty());
  EXPECT_EQ(pc.registry.Value(kHkeyCurrentUser, kStore, "Changed"), std::nullopt);
  EXPECT_THAT(pc.system.screen_saver_writes, ElementsAre(false, true));
}

// A record whose setting has gone cannot be given back: the store keeps it, and Windows
// restarts all the same. Once the drive is up to date, a later start gives back what it can
// and clears the store and the Run entry when nothing is left.
TEST_F(RunPathsTest, RecordsLeftBehindStillRestartAndAreGivenBackLater) {
  sim::SimulatedPc& pc = Pc("98se");
  test::AddSettingsNeedingChange(pc);
  const std::string settings = test::DeviceSettings(pc);
  EXPECT_EQ(Start(Scenario()
                      .Opens(ids::kAgreementDialog)
                      .Press(ids::kAgree)
                      .Opens(ids::kRebootNotice)
                      .Press(ids::kOk)),
            RunOutcome::kPrepared);
  pc.Restart();
  const std::string hdc = "System\\CurrentControlSet\\Services\\Class\\hdc\\0000";
  ASSERT_EQ(pc.registry.Value(kHkeyLocalMachine, hdc, "IDEDMADRIVE0"), StoredValue::Binary({0}));
  pc.registry.RemoveValue(kHkeyLocalMachine, hdc, "IDEDMADRIVE0");
  ASSERT_TRUE(RunEntryStartsProgram(pc));
  Scenario scenario;
  scenario.Opens(ids::kWarningNotice).Press(ids::kOk);
  EXPECT_EQ(Start(std::move(Update(scenario))), RunOutcome::kRestored);
  EXPECT_TRUE(pc.system.exit_request);
  ASSERT_TRUE(pc.registry.HasKey(kHkeyCurrentUser, std::string(kStore) + "\\Change"));
  EXPECT_EQ(pc.registry.Subkeys(kHkeyCurrentUser, std::string(kStore) + "\\Change").size(), 1U);

  // The setting is still gone: the record stays.
  pc.Restart();
  EXPECT_EQ(Start(Scenario().MessageBox(kUpToDate)), RunOutcome::kNothingToDo);
  EXPECT_TRUE(pc.registry.HasKey(kHkeyCurrentUser, kStore));

  // It is back as the change left it: the record puts its old value in, and the store goes.
  pc.registry.PutValue(kHkeyLocalMachine, hdc, "IDEDMADRIVE0", StoredValue::Binary({0}));
  pc.registry.PutValue(kHkeyCurrentUser, kRunKeyPath, kApplication,
                       StoredValue::Text(pc.system.program_file_path));
  EXPECT_EQ(Start(Scenario().MessageBox(kUpToDate)), RunOutcome::kNothingToDo);
  EXPECT_EQ(test::DeviceSettings(pc), settings);
  EXPECT_FALSE(pc.registry.HasKey(kHkeyCurrentUser, "Software\\Quentar_ODD"));
  EXPECT_FALSE(RunEntry());
  EXPECT_FALSE(pc.system.exit_request) << "nothing is restarted without telling the user";
}

}  // namespace
}  // namespace fwu
