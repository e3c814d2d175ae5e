// The start-up sequence through the whole program on a simulated PC: the refusals and their
// messages, the family rules for power and the single-instance mutex, a second copy, another
// user, the screen saver, and the drive search with its identity tests and the bounded
// unit-attention clearing, over pass-through (XP) and ASPI (98 SE).
#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/application.h"
#include "app/program.h"
#include "drive/command_set.h"
#include "drive/transport.h"
#include "emulator/fault_plan.h"
#include "programs/simulated_pc/program_run.h"
#include "resources/dialog_ids.h"
#include "support/message_box_recorder.h"
#include "support/scripted_dialog_host.h"
#include "support/shift_jis.h"
#include "support/simulated_pcs.h"

namespace fwu {
namespace {

using emulator::EmulatedDrive;
using emulator::FaultMatch;
using emulator::FaultRule;
using test::Scenario;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kM1 = "Cannot get operationg system information.";
constexpr const char* kM2 = "Win32s or unknown operating system.";
constexpr const char* kM3 = "Cannot get the power status of the system.\r\n Update abort.";
constexpr const char* kM4 = "Try again after AC adapter connect the system.";
constexpr const char* kM5 =
    "It logon by the user who performed, and different user.\r\n"
    "Please logon by the user who performed this program.";
constexpr const char* kM6 = "CD-Drive firmware is NOT need to update firmware.";
constexpr const char* kM7 = "Could not be found CD-Drive for this program.";

class StartupSequenceTest : public ::testing::Test {
 protected:
  sim::SimulatedPc& Pc(std::string_view windows = "xp", int code_page = test::kEnglishCodePage) {
    pc_ = test::MakePc(windows, code_page);
    return *pc_;
  }

  sim::ProgramRun Start(Scenario scenario) {
    test::ScriptedDialogHost host(pc_->Clock(), std::move(scenario));
    const sim::ProgramRun run = RunProgram(*pc_, host);
    transcript_ = host.Transcript();
    return run;
  }

  // A start that must end with one message box and nothing else.
  RunOutcome StartExpecting(const std::string& message) {
    return Start(Scenario().MessageBox(message)).outcome;
  }

  // The run reaches the run paths (no M6 or M7); the user then does not agree.
  RunOutcome StartDeclining() {
    return Start(Scenario().Opens(ids::kAgreementDialog).Press(ids::kNotAgree)).outcome;
  }

  std::unique_ptr<sim::SimulatedPc> pc_;
  std::vector<std::string> transcript_;
};

// Every refusal ends the run with its message before a mutex is taken or a drive command sent.
TEST_F(StartupSequenceTest, RefusalsShowTheirMessageAndTouchNothing) {
  struct Case {
    const char* windows;
    void (*setup)(sim::SimSystemServices&);
    std::vector<std::string> messages;
  };
  const std::vector<Case> cases{
      // The ASPI transport asks for the version as it is built, before the sequence does.
      {"xp", [](sim::SimSystemServices& s) { s.version_query_fails = true; }, {kM1, kM1}},
      {"win32s", [](sim::SimSystemServices&) {}, {kM2}},
      // The program's own file, which names its store, is part of what the system must tell.
      {"xp", [](sim::SimSystemServices& s) { s.program_file_path.clear(); }, {kM1}},
      {"xp", [](sim::SimSystemServices& s) { s.power_query_fails = true; }, {kM3}},
      {"98se", [](sim::SimSystemServices& s) { s.power_query_fails = true; }, {kM3}},
      {"xp", [](sim::SimSystemServices& s) { s.power.ac_line_status = 0; }, {kM4}},
      {"xp", [](sim::SimSystemServices& s) { s.power.ac_line_status = 255; }, {kM4}},
      {"2000", [](sim::SimSystemServices& s) { s.power.ac_line_status = 0; }, {kM4}},
      {"me", [](sim::SimSystemServices& s) { s.power.ac_line_status = 255; }, {kM4}},
      {"98se", [](sim::SimSystemServices& s) { s.power.ac_line_status = 0; }, {kM4}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.windows) + ": " + c.messages.back());
    sim::SimulatedPc& pc = Pc(c.windows);
    const EmulatedDrive& drive = test::AddTargetDrive(pc);
    c.setup(pc.system);
    Scenario scenario;
    for (const std::string& message : c.messages) {
      scenario.MessageBox(message);
    }
    EXPECT_EQ(Start(std::move(scenario)).outcome, RunOutcome::kRefused);
    EXPECT_THAT(pc.system.mutexes_created, IsEmpty());
    EXPECT_EQ(drive.Log().Size(), 0U);
    EXPECT_THAT(pc.system.screen_saver_writes, IsEmpty());
  }
}

TEST_F(StartupSequenceTest, MessagesAreJapaneseUnderCodePage932Only) {
  for (const int code_page : {932, 936, 949, 950, 1252}) {
    SCOPED_TRACE(code_page);
    Pc("xp", code_page).system.power.ac_line_status = 0;
    Start(Scenario().MessageBox(
        code_page == 932 ? "システムにAC 電源を接続して再度実行してください。" : kM4));
  }
  Pc("98se", 932);
  EXPECT_EQ(StartExpecting("このプログラムに対応したCD ドライブが見つかりません。"),
            RunOutcome::kNothingToDo);
}

// NT 4 has no power status to ask and a mutex per session; 2000 and XP ask and take one mutex
// across sessions; 98 and Me ask and take the plain name. Each family uses its own transport.
TEST_F(StartupSequenceTest, PowerCheckAndMutexNameFollowFamilyAndVersion) {
  struct Case {
    const char* windows;
    bool power_checked;
    const char* mutex;
    bool aspi;
  };
  for (const Case& c :
       {Case{"nt4", false, "KALDER", false}, Case{"2000", true, "Global\\KALDER", false},
        Case{"xp", true, "Global\\KALDER", false}, Case{"98se", true, "KALDER", true},
        Case{"me", true, "KALDER", true}}) {
    SCOPED_TRACE(c.windows);
    sim::SimulatedPc& pc = Pc(c.windows);
    test::AddTargetDrive(pc, "1033");
    // A failing power query shows where the check is made.
    pc.system.power_query_fails = true;
    EXPECT_EQ(StartExpecting(c.power_checked ? kM3 : kM6),
              c.power_checked ? RunOutcome::kRefused : RunOutcome::kNothingToDo);
    pc.system.power_query_fails = false;
    pc.system.mutexes_created.clear();
    EXPECT_EQ(StartExpecting(kM6), RunOutcome::kNothingToDo);
    EXPECT_THAT(pc.system.mutexes_created, ElementsAre(c.mutex));
    EXPECT_FALSE(pc.system.named_mutexes->Owner(c.mutex)) << "released by the exit step";
    EXPECT_EQ(pc.Aspi()->Snapshot().sent_requests.empty(), !c.aspi);
  }
}

// While the first copy shows its terms, a second one starts on the same PC: it still makes its
// own system and power checks, whose messages it can show, then ends without a word and
// without touching the drive.
TEST_F(StartupSequenceTest, ASecondCopyEndsSilentlyAfterItsOwnChecks) {
  struct Case {
    const char* name;
    void (*setup)(sim::SimSystemServices&);
    RunOutcome outcome;
    std::vector<std::string> messages;
  };
  const std::vector<Case> cases{
      {"on mains", [](sim::SimSystemServices&) {}, RunOutcome::kSecondCopy, {}},
      {"on battery",
       [](sim::SimSystemServices& s) { s.power.ac_line_status = 0; },
       RunOutcome::kRefused,
       {kM4}},
      // The ASPI transport asks for the version as it is built, before the sequence does.
      {"no version",
       [](sim::SimSystemServices& s) { s.version_query_fails = true; },
       RunOutcome::kRefused,
       {kM1, kM1}},
      {"Win32s",
       [](sim::SimSystemServices& s) { s.version.platform_id = platform::kPlatformWin32s; },
       RunOutcome::kRefused,
       {kM2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::SimulatedPc& pc = Pc("xp");
    const EmulatedDrive& drive = test::AddTargetDrive(pc);
    std::optional<RunOutcome> second_outcome;
    test::MessageBoxRecorder second_dialogs;
    sim::SimSystemServices second_process = pc.system.AnotherProcess();
    c.setup(second_process);
    std::size_t commands_before = 0;
    Start(Scenario()
              .Opens(ids::kAgreementDialog)
              .Do([&] {
                commands_before = drive.Log().Size();
                platform::Platform platform = pc.PlatformFor(second_dialogs, second_process);
                Program second(platform);
                EXPECT_EQ(second.Run(), 0);
                second_process.EndProcess();
                second_outcome = second.App().Outcome();
              })
              .Press(ids::kNotAgree));
    ASSERT_TRUE(second_outcome);
    EXPECT_EQ(drive.Log().Size(), commands_before + 0) << "the second copy sent nothing";
    EXPECT_EQ(*second_outcome, c.outcome);
    std::vector<std::string> shown;
    for (const test::MessageBoxRecorder::Box& box : second_dialogs.boxes) {
      shown.push_back(box.text);
    }
    EXPECT_EQ(shown, c.messages);
    EXPECT_EQ(second_dialogs.events.size(), c.messages.size()) << "nothing but its messages";
    if (c.outcome == RunOutcome::kSecondCopy) {
      EXPECT_THAT(second_process.mutexes_created, ElementsAre("Global\\KALDER"));
    } else {
      EXPECT_THAT(second_process.mutexes_created, IsEmpty());
    }
    EXPECT_FALSE(pc.system.named_mutexes->Exists("Global\\KALDER"));
  }
  // A mutex that cannot be had at all ends the run the same way.
  sim::SimulatedPc& pc = Pc("98se");
  const EmulatedDrive& drive = test::AddTargetDrive(pc);
  pc.system.mutex_creation_fails = true;
  EXPECT_EQ(Start(Scenario()).outcome, RunOutcome::kSecondCopy);
  EXPECT_EQ(drive.Log().Size(), 0U);
}

// A restart arranged by one user is not continued by another: M5, and everything stays for the
// user who prepared it.
TEST_F(StartupSequenceTest, AnotherUserIsRefusedAndThePreparingUserCanResume) {
  sim::SimulatedPc& pc = Pc("xp");
  test::AddTargetDrive(pc);
  test::AddSettingsNeedingChange(pc);
  pc.registry.SwitchUser("Alice");
  EXPECT_EQ(Start(Scenario()
                      .Opens(ids::kAgreementDialog)
                      .Press(ids::kAgree)
                      .Opens(ids::kRebootNotice)
                      .Press(ids::kOk))
                .outcome,
            RunOutcome::kPrepared);
  pc.Restart();
  pc.registry.SwitchUser("Bob");
  EXPECT_EQ(StartExpecting(kM5), RunOutcome::kRefused);
  EXPECT_TRUE(pc.registry.HasKey(platform::kHkeyLocalMachine, "Software\\QUENTAR_ODD_KALDER"));
  pc.registry.SwitchUser("Alice");
  EXPECT_TRUE(RunEntryStartsProgram(pc));
  EXPECT_EQ(Start(Scenario()
                      .Opens(ids::kWarningNotice)
                      .Press(ids::kOk)
                      .Opens(ids::kUpdateDialog)
                      .Press(ids::kCancelButton)
                      .Opens(ids::kCancelNotice)
                      .Press(ids::kOk))
                .outcome,
            RunOutcome::kRestored);
  EXPECT_FALSE(pc.registry.HasKey(platform::kHkeyLocalMachine, "Software\\QUENTAR_ODD_KALDER"));
}

// An inactive screen saver is only read. An active one is switched off for the run and on
// again on every way out that follows.
TEST_F(StartupSequenceTest, ScreenSaverIsRestoredOnEveryWayOutAndAnInactiveOneNeverChanged) {
  for (const std::uint32_t active : {0U, 1U, 2U}) {
    SCOPED_TRACE("screen saver state " + std::to_string(active));
    const std::vector<bool> expected =
        active == 1 ? std::vector<bool>{false, true} : std::vector<bool>{};
    const auto check = [&](sim::SimulatedPc& pc) {
      EXPECT_EQ(pc.system.screen_saver_reads, 1U);
      EXPECT_EQ(pc.system.screen_saver_writes, expected);
      EXPECT_EQ(pc.system.screen_saver_active, active == 1 ? 1U : active);
    };
    Pc("xp").system.screen_saver_active = active;
    StartExpecting(kM7);
    check(*pc_);

    test::AddTargetDrive(Pc("98se"), "1040");
    pc_->system.screen_saver_active = active;
    StartExpecting(kM6);
    check(*pc_);

    test::AddTargetDrive(Pc("xp"));
    pc_->system.screen_saver_active = active;
    StartDeclining();
    check(*pc_);

    sim::SimulatedPc& preparing = Pc("xp");
    test::AddTargetDrive(preparing);
    test::AddSettingsNeedingChange(preparing);
    preparing.system.screen_saver_active = active;
    Start(Scenario()
              .Opens(ids::kAgreementDialog)
              .Press(ids::kAgree)
              .Opens(ids::kRebootNotice)
              .Press(ids::kOk));
    check(preparing);
    EXPECT_TRUE(preparing.system.exit_request);

    pc_->system.screen_saver_active = active;
    pc_->system.screen_saver_writes.clear();
    pc_->system.screen_saver_reads = 0;
    pc_->system.power.ac_line_status = 0;
    StartExpecting(kM4);
    EXPECT_THAT(pc_->system.screen_saver_writes, IsEmpty())
        << "refusals come before the screen saver";
  }
}

// ---- The drive search, over pass-through and over ASPI ----

class DriveSearchTest : public StartupSequenceTest,
                        public ::testing::WithParamInterface<const char*> {
 protected:
  sim::SimulatedPc& Machine() { return Pc(GetParam()); }

  // Commands a drive received after discovery listed it (discovery ends with its INQUIRY).
  static std::vector<std::uint8_t> AfterDiscovery(const EmulatedDrive& drive) {
    std::vector<std::uint8_t> codes = drive.Log().OperationCodes();
    const auto inquiry = std::find(codes.begin(), codes.end(), opcode::kInquiry);
    codes.erase(codes.begin(), inquiry == codes.end() ? inquiry : inquiry + 1);
    return codes;
  }
};

TEST_P(DriveSearchTest, AnEmptyListGivesM7) {
  Machine();
  EXPECT_EQ(StartExpecting(kM7), RunOutcome::kNothingToDo);
}

TEST_P(DriveSearchTest, AnotherVendorsDriveIsListedButReceivesNoCommand) {
  const EmulatedDrive& other = test::AddDrive(Machine(), EmulatedDrive::OtherVendor());
  EXPECT_EQ(StartExpecting(kM7), RunOutcome::kNothingToDo);
  EXPECT_THAT(AfterDiscovery(other), IsEmpty());
  EXPECT_EQ(other.Log().CountOf(opcode::kInquiry), 1U) << "discovery's own";
}

TEST_P(DriveSearchTest, TheFirstDriveThatNeedsTheUpdateIsSelectedAndTheRestLeftAlone) {
  // Up to date, then older: the second is selected and M6 is not shown.
  sim::SimulatedPc& pc = Machine();
  test::AddTargetDrive(pc, "1033");
  const EmulatedDrive& older = test::AddTargetDrive(pc, "1029");
  test::ScriptedDialogHost host(pc.Clock(),
                                Scenario().Opens(ids::kAgreementDialog).Press(ids::kNotAgree));
  const sim::ProgramRun run = RunProgram(pc, host);
  EXPECT_EQ(run.outcome, RunOutcome::kDeclined);
  ASSERT_TRUE(run.search);
  EXPECT_TRUE(run.search->updateNeeded);
  EXPECT_TRUE(run.search->upToDateSeen);
  EXPECT_EQ(run.search->selected, 1);
  EXPECT_THAT(AfterDiscovery(older),
              ElementsAre(opcode::kRead10, opcode::kInquiry, opcode::kSendDiagnostic,
                          opcode::kReceiveDiagnosticResults));

  // Older, then anything: the first is selected at once and the second hears nothing more.
  sim::SimulatedPc& second_pc = Machine();
  test::AddTargetDrive(second_pc, "1029");
  const EmulatedDrive& untouched = test::AddTargetDrive(second_pc, "1029");
  EXPECT_EQ(StartDeclining(), RunOutcome::kDeclined);
  EXPECT_THAT(AfterDiscovery(untouched), IsEmpty());
}

// Revision and build against the image's "1033" build 32 (signed); revisions outside the "10"
// family, unreadable numbers and other drive codes do not count as drives of the program.
TEST_P(DriveSearchTest, RevisionBuildAndDriveCodeDecide) {
  enum class Expect { kUpdate, kUpToDate, kNotFound };
  struct Case {
    const char* revision;
    std::int8_t build;
    const char* drive_code;
    Expect expect;
  };
  const std::vector<Case> cases{
      {"1033", 0x20, "km", Expect::kUpToDate},
      {"1033", 0x1F, "km", Expect::kUpdate},
      {"1033", static_cast<std::int8_t>(0x80), "km", Expect::kUpdate},
      {"1033", static_cast<std::int8_t>(0xFF), "km", Expect::kUpdate},
      {"1033", 0x21, "km", Expect::kUpToDate},
      {"1040", 0, "km", Expect::kUpToDate},
      {"1032", 0x7F, "km", Expect::kUpdate},
      {"1133", 0, "km", Expect::kNotFound},
      {"0933", 0, "km", Expect::kNotFound},
      {"1029", 32, "kx", Expect::kNotFound},
      {"1029", 32, "KM", Expect::kNotFound},
      {"10AB", 32, "km", Expect::kNotFound},
      // The dialog's reading: "%02d" of the last two characters.
      {"10 5", 32, "km", Expect::kUpdate},
      {"10-1", 32, "km", Expect::kUpdate},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.revision) + " build " + std::to_string(c.build) + " code " +
                 c.drive_code);
    emulator::DriveConfig config = EmulatedDrive::XtM7731(c.revision, c.build);
    config.drive_code = c.drive_code;
    test::AddDrive(Machine(), config);
    switch (c.expect) {
      case Expect::kUpdate:
        EXPECT_EQ(StartDeclining(), RunOutcome::kDeclined);
        break;
      case Expect::kUpToDate:
        EXPECT_EQ(StartExpecting(kM6), RunOutcome::kNothingToDo);
        break;
      case Expect::kNotFound:
        EXPECT_EQ(StartExpecting(kM7), RunOutcome::kNothingToDo);
        break;
    }
  }
}

// A drive reports its reset and medium change once each and is then examined; one that never
// stops is given a bounded number of rounds and then passed over like a drive that does not
// answer.
TEST_P(DriveSearchTest, UnitAttentionIsClearedWithinABound) {
  EmulatedDrive& settling = test::AddTargetDrive(Machine());
  settling.Faults().Add(FaultRule::UnitAttention(FaultMatch::Command(opcode::kRead10), 1));
  settling.Faults().Add(FaultRule::UnitAttention(FaultMatch::Command(opcode::kRead10), 1,
                                                 emulator::sense::kMediumMayHaveChanged));
  EXPECT_EQ(StartDeclining(), RunOutcome::kDeclined);

  EmulatedDrive& stuck = test::AddTargetDrive(Machine());
  stuck.Faults().Add(
      FaultRule::UnitAttention(FaultMatch::Command(opcode::kRead10), emulator::kForever));
  EXPECT_EQ(StartExpecting(kM7), RunOutcome::kNothingToDo);
  EXPECT_EQ(stuck.Log().CountOf(opcode::kRead10),
            static_cast<std::size_t>(kUnitAttentionClearingRounds * Transport::kMaxAttempts));
  EXPECT_EQ(stuck.Log().CountOf(opcode::kSendDiagnostic), 0U);
}

INSTANTIATE_TEST_SUITE_P(Families, DriveSearchTest, ::testing::Values("xp", "98se"),
                         [](const ::testing::TestParamInfo<const char*>& param) {
                           return std::string(param.param);
                         });

}  // namespace
}  // namespace fwu
