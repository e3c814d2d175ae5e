// Whole runs of xtm7731-update on a Linux PC with emulated drives, in virtual time: a user at
// the terminal or a script, and a drive that goes along or does not.
#include <algorithm>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "drive/command_set.h"
#include "emulator/fault_plan.h"
#include "linux_machine.h"
#include "programs/linux/exit_codes.h"
#include "support/drive_rig.h"
#include "update/update_worker.h"

namespace fwu {
namespace {

namespace exit_code = linux_program::exit_code;
using emulator::EmulatedDrive;
using emulator::FaultAction;
using emulator::FaultMatch;
using emulator::FaultRule;
using emulator::PageCommand;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

// Commands that change the drive: the eject and its tray lock, and every download page.
bool ChangesTheDrive(const emulator::CommandRecord& record) {
  const std::uint8_t code = record.OperationCode().value_or(0);
  const bool tray = code == opcode::kStartStopUnit || code == opcode::kPreventAllowMediumRemoval;
  return tray || (record.page && record.page->sub_command != 0x40);
}

std::size_t ChangingCommands(const EmulatedDrive& drive) {
  const auto records = drive.Log().Records();
  return static_cast<std::size_t>(std::count_if(records.begin(), records.end(), ChangesTheDrive));
}

class LinuxUpdater : public ::testing::Test {
 protected:
  test::LinuxMachine machine_;
};

TEST_F(LinuxUpdater, AnUnattendedUpdateWritesTheImageAndReadsTheNewFirmwareBack) {
  EmulatedDrive& drive = machine_.AddDrive("/dev/sr0");
  const std::uint64_t start = machine_.clock.NowMilliseconds();

  EXPECT_EQ(machine_.Run({"--yes"}), exit_code::kUpdated) << machine_.Err();
  EXPECT_TRUE(std::ranges::equal(drive.ReceivedImage(), test::PlainImage()));
  EXPECT_EQ(drive.Revision(), "1033");
  EXPECT_THAT(machine_.Out(), HasSubstr("/dev/sr0: QUENTAR DVD-ROM XT-M7731, firmware 1029 build "
                                        "32: update needed\n"));
  EXPECT_THAT(machine_.Out(), HasSubstr("Update Complete.\nverified: now 1033 build 32\n"));
  EXPECT_THAT(machine_.Out(), HasSubstr("[########################################] 100%"));
  // The drive was reserved for the update and everything was given back.
  EXPECT_THAT(machine_.safety.reserved,
              ElementsAre(::testing::Pair("/dev/sr0", posix::ReserveFor::kUpdate)));
  EXPECT_EQ(machine_.safety.inhibitions, 1);
  EXPECT_EQ(machine_.safety.holds, 0);
  EXPECT_FALSE(machine_.interruptions.deferred);
  EXPECT_GE(machine_.clock.NowMilliseconds() - start, 127000U);
}

// One emulated drive updated by the Windows program's pass-through path and one by this
// program: the worker's commands must be the same bytes in the same order at the same times.
TEST_F(LinuxUpdater, TheDriveSeesWhatTheWindowsProgramSends) {
  const auto worker_part = [](const EmulatedDrive& drive) {
    std::vector<std::tuple<std::vector<std::uint8_t>, std::uint32_t, std::uint64_t, std::uint64_t>>
        commands;
    const auto records = drive.Log().Records();
    const auto first = std::find_if(records.begin(), records.end(), [](const auto& r) {
      return r.OperationCode() == opcode::kPreventAllowMediumRemoval;
    });
    for (auto it = first; it != records.end(); ++it) {
      commands.emplace_back(it->cdb, it->data_length, it->data_digest,
                            it->time_ms - first->time_ms);
      if (it->page == PageCommand{0xC0, 0x00}) {
        break;
      }
    }
    return commands;
  };

  test::DriveRig windows(test::TransportKind::kPassThrough, 1252);
  EmulatedDrive& windows_drive = windows.AddDrive(EmulatedDrive::XtM7731());
  windows_drive.KnowFirmware(test::PlainImage(), emulator::FirmwareIdentity{"1033", 32});
  ASSERT_EQ(windows.Transport().Enumerate(), 1);
  ASSERT_EQ(UpdateWorker(WorkerParams{0, &windows.Transport()}, ImageList()[0], windows.Clock()),
            kWorkerSucceeded);

  EmulatedDrive& linux_drive = machine_.AddDrive("/dev/sr0");
  ASSERT_EQ(machine_.Run({"--yes"}), exit_code::kUpdated) << machine_.Err();

  const auto expected = worker_part(windows_drive);
  ASSERT_EQ(expected.size(), 11U);
  EXPECT_EQ(worker_part(linux_drive), expected);
}

TEST_F(LinuxUpdater, AUserAcceptsTheTermsAndConfirms) {
  machine_.AddDrive("/dev/sr0");
  EXPECT_EQ(machine_.Run({}, "y\nyes\n"), exit_code::kUpdated) << machine_.Err();
  EXPECT_THAT(machine_.Out(), HasSubstr("[Instructions]\n1) This program is for the DVD-ROM "
                                        "XT-M7731 drive only."));
  EXPECT_THAT(machine_.Out(), HasSubstr("[y = Agree / N = Not Agree] "));
  EXPECT_THAT(machine_.Out(),
              HasSubstr("Update /dev/sr0 from 1029 build 32 to 1033 build 32 now? [y/N] "));
  EXPECT_THAT(machine_.Out(), HasSubstr("verified: now 1033 build 32"));
}

TEST_F(LinuxUpdater, NothingChangesUnlessTheUserSaysYesToBoth) {
  struct Case {
    std::string input;
    std::string reason;
  };
  const std::vector<Case> cases{
      {"", "the terms were not accepted; nothing was changed"},
      {"n\n", "the terms were not accepted; nothing was changed"},
      {"y\n\n", "the update was not confirmed; nothing was changed"},
      {"yes\nno\n", "the update was not confirmed; nothing was changed"},
  };
  EmulatedDrive& drive = machine_.AddDrive("/dev/sr0");
  for (const Case& c : cases) {
    EXPECT_EQ(machine_.Run({}, c.input), exit_code::kFailed);
    EXPECT_THAT(machine_.Err(), HasSubstr(c.reason)) << c.input;
    EXPECT_EQ(ChangingCommands(drive), 0U) << c.input;
    EXPECT_THAT(machine_.safety.reserved, IsEmpty());
  }
}

TEST_F(LinuxUpdater, RefusalsBeforeTheDownloadLeaveTheDriveAlone) {
  struct Case {
    std::string name;
    void (*arrange)(test::LinuxMachine&);
    std::string message;
    bool before_any_command = false;
  };
  const std::vector<Case> cases{
      {"another copy running", [](test::LinuxMachine& m) { m.safety.another_copy = true; },
       "xtm7731-update: another copy of the program is running: wait until it has ended\n", true},
      {"not root", [](test::LinuxMachine& m) { m.safety.root = false; },
       "xtm7731-update: root is needed to update the firmware", true},
      {"on battery", [](test::LinuxMachine& m) { m.safety.on_battery = true; },
       "xtm7731-update: Try again after AC adapter connect the system.\n", true},
      {"mounted",
       [](test::LinuxMachine& m) {
         m.safety.refusal =
             "/dev/sr0 is mounted on /media/disc: unmount it first (umount /media/disc)";
       },
       "xtm7731-update: /dev/sr0 is mounted on /media/disc"},
      {"interrupted before the download",
       [](test::LinuxMachine& m) { m.interruptions.arrivals.emplace_back(0, "SIGTERM"); },
       "xtm7731-update: SIGTERM before the download began; nothing was changed\n"},
  };
  for (const Case& c : cases) {
    test::LinuxMachine machine;
    EmulatedDrive& drive = machine.AddDrive("/dev/sr0");
    c.arrange(machine);
    EXPECT_EQ(machine.Run({"--yes"}), exit_code::kFailed) << c.name;
    EXPECT_THAT(machine.Err(), HasSubstr(c.message)) << c.name;
    EXPECT_EQ(ChangingCommands(drive), 0U) << c.name;
    EXPECT_EQ(machine.safety.holds, 0) << c.name;
    if (c.before_any_command) {
      EXPECT_EQ(drive.Log().Size(), 0U) << c.name << ": refused before any command";
    }
  }
}

TEST_F(LinuxUpdater, ADriveThatIsUpToDateNeedsNothing) {
  EmulatedDrive& drive = machine_.AddDrive("/dev/sr0", EmulatedDrive::XtM7731("1033", 32));
  EXPECT_EQ(machine_.Run({"--yes"}), exit_code::kNothingToDo);
  EXPECT_THAT(machine_.Out(), HasSubstr("CD-Drive firmware is NOT need to update firmware.\n"));
  EXPECT_EQ(ChangingCommands(drive), 0U);
}

TEST_F(LinuxUpdater, NoDriveOrOneThatNeverSettlesIsAFailure) {
  EXPECT_EQ(machine_.Run({"--yes"}), exit_code::kFailed);
  EXPECT_THAT(machine_.Err(), HasSubstr("Could not be found CD-Drive for this program."));

  EmulatedDrive& drive = machine_.AddDrive("/dev/sr0");
  drive.Faults().Add(
      FaultRule::UnitAttention(FaultMatch::Command(opcode::kRead10), emulator::kForever));
  EXPECT_EQ(machine_.Run({"--yes"}), exit_code::kFailed);
  EXPECT_THAT(machine_.Out(), HasSubstr("/dev/sr0: QUENTAR DVD-ROM XT-M7731, firmware 1029: keeps "
                                        "reporting unit attention\n"));
  EXPECT_EQ(ChangingCommands(drive), 0U);

  EXPECT_EQ(machine_.Run({"--yes", "--device", "/dev/sr5"}), exit_code::kFailed);
  EXPECT_THAT(machine_.Err(), HasSubstr("no DVD-ROM XT-M7731 answers at /dev/sr5: Get Handle "
                                        "Error: 2\nNo such file or directory"));
}

TEST_F(LinuxUpdater, ARejectedBlockEndsTheDownloadAndARunAgainRepairsIt) {
  EmulatedDrive& drive = machine_.AddDrive("/dev/sr0");
  drive.Faults().Add(
      FaultRule{FaultMatch::Page(0xC0, 4), FaultAction::CheckCondition({0x05, 0x26, 0x00}), 1, 1});
  EXPECT_EQ(machine_.Run({"--yes"}), exit_code::kMidDownload);
  EXPECT_EQ(drive.BlocksReceived(), 3U);
  const auto pages = drive.Log().SentPages();
  EXPECT_EQ(pages.back(), (PageCommand{0xC0, 4})) << "nothing after the rejected block";
  EXPECT_THAT(machine_.Err(), HasSubstr("Update Failed.\n"));
  EXPECT_THAT(machine_.Err(), HasSubstr("the drive refused data block 4 of 6:  26-00 (00)\n"));
  EXPECT_THAT(machine_.Err(), HasSubstr("run xtm7731-update again now"));
  EXPECT_EQ(machine_.safety.holds, 0);

  EXPECT_EQ(machine_.Run({"--yes"}), exit_code::kUpdated) << machine_.Err();
  EXPECT_TRUE(std::ranges::equal(drive.ReceivedImage(), test::PlainImage()));
}

TEST_F(LinuxUpdater, ADriveThatDoesNotReportTheNewFirmwareIsNotVerified) {
  EmulatedDrive& drive = machine_.io.AddDrive("/dev/sr0", EmulatedDrive::XtM7731());
  machine_.lister.paths.push_back("/dev/sr0");
  drive.KnowFirmware(test::PlainImage(), emulator::FirmwareIdentity{"1032", 32});
  EXPECT_EQ(machine_.Run({"--yes"}), exit_code::kNotVerified);
  EXPECT_THAT(machine_.Out(), Not(HasSubstr("verified")));
  EXPECT_THAT(machine_.Err(), HasSubstr("the drive reports 1032 build 32 after the update, not "
                                        "1033 build 32"));
}

TEST(LinuxUpdaterReadBack, ADriveSlowToComeBackIsAskedAgainAndOneThatNeverDoesIsNotVerified) {
  struct Case {
    std::uint32_t silent_inquiries;  // after the closing step
    int exit_code;
    std::string message;
  };
  const std::vector<Case> cases{
      {2, exit_code::kUpdated, "verified: now 1033 build 32"},
      {emulator::kForever, exit_code::kNotVerified,
       "xtm7731-update: the drive's new firmware could not be read back: Timeout.\n"},
  };
  for (const Case& c : cases) {
    test::LinuxMachine machine;
    EmulatedDrive& drive = machine.AddDrive("/dev/sr0");
    // INQUIRY: the probe, the examination, the start-time check, then the read-back.
    drive.Faults().Add(FaultRule{FaultMatch::Command(opcode::kInquiry), FaultAction::NoCompletion(),
                                 4, c.silent_inquiries});
    EXPECT_EQ(machine.Run({"--yes"}), c.exit_code);
    EXPECT_THAT(machine.Out() + machine.Err(), HasSubstr(c.message));
    EXPECT_EQ(drive.Revision(), "1033");
  }
}

TEST_F(LinuxUpdater, SignalsDuringTheDownloadAreAnsweredAndTheUpdateFinishes) {
  EmulatedDrive& drive = machine_.AddDrive("/dev/sr0");
  machine_.interruptions.arrivals = {{30000, "SIGINT"}, {60000, "SIGTERM"}, {61000, "SIGHUP"}};
  EXPECT_EQ(machine_.Run({"--yes"}), exit_code::kUpdated) << machine_.Err();
  EXPECT_EQ(drive.Revision(), "1033");
  for (const char* signal : {"SIGINT", "SIGTERM", "SIGHUP"}) {
    EXPECT_THAT(machine_.Err(),
                HasSubstr(std::string("xtm7731-update: ") + signal +
                          ": the update cannot be interrupted; it goes on until it has ended\n"));
  }
}

TEST_F(LinuxUpdater, ADryRunChecksEverythingAndSendsNothingThatChangesTheDrive) {
  EmulatedDrive& drive = machine_.AddDrive("/dev/sr0");
  EXPECT_EQ(machine_.Run({"--dry-run"}), exit_code::kUpdated) << machine_.Err();
  EXPECT_THAT(machine_.Out(), HasSubstr("dry run: /dev/sr0 would be updated from 1029 build 32 to "
                                        "1033 build 32; no command that changes the drive was "
                                        "sent.\n"));
  EXPECT_EQ(ChangingCommands(drive), 0U);
  EXPECT_GT(drive.Log().CountOf(opcode::kSendDiagnostic), 0U) << "the identification query ran";
  EXPECT_THAT(machine_.safety.reserved,
              ElementsAre(::testing::Pair("/dev/sr0", posix::ReserveFor::kCheck)));
}

TEST_F(LinuxUpdater, SeveralDrivesNeedAChoice) {
  machine_.AddDrive("/dev/sr0");
  EmulatedDrive& second = machine_.AddDrive("/dev/sr1");
  EXPECT_EQ(machine_.Run({"--yes"}), exit_code::kFailed);
  EXPECT_THAT(machine_.Err(),
              HasSubstr("several drives need the update: choose one with --device"));

  EXPECT_EQ(machine_.Run({}, "y\n2\ny\n"), exit_code::kUpdated) << machine_.Err();
  EXPECT_THAT(machine_.Out(), HasSubstr("  2) /dev/sr1  1029 build 32\nWhich one? [1-2] "));
  EXPECT_EQ(second.Revision(), "1033");

  EXPECT_EQ(machine_.Run({"--yes", "--device=/dev/sr0"}), exit_code::kUpdated) << machine_.Err();
}

TEST_F(LinuxUpdater, TheListTellsEachDrivesFirmwareAsTextAndAsJson) {
  machine_.AddDrive("/dev/sr0");
  machine_.AddDrive("/dev/sr1", EmulatedDrive::XtM7731("1033", 32));
  machine_.AddDrive("/dev/sr2", EmulatedDrive::OtherVendor());

  EXPECT_EQ(machine_.Run({"--list"}), exit_code::kUpdated);
  EXPECT_EQ(
      machine_.Out(),
      "DEVICE    VENDOR    PRODUCT           REVISION  BUILD  STATUS\n"
      "/dev/sr0  QUENTAR   DVD-ROM XT-M7731  1029      32     update needed (to 1033 build 32)\n"
      "/dev/sr1  QUENTAR   DVD-ROM XT-M7731  1033      32     up to date\n"
      "/dev/sr2  OTHERCO   DVD-ROM XT-M7731  1029      -      another vendor's drive\n");

  EXPECT_EQ(machine_.Run({"--json", "--device", "/dev/sr0"}), exit_code::kUpdated);
  const nlohmann::json listed = nlohmann::json::parse(machine_.Out());
  EXPECT_EQ(listed["image"],
            nlohmann::json::parse(R"({"version":"1033","build":32,"drive_code":"km"})"));
  ASSERT_EQ(listed["drives"].size(), 1U);
  EXPECT_EQ(listed["drives"][0], nlohmann::json::parse(R"({
      "device": "/dev/sr0", "vendor": "QUENTAR", "product": "DVD-ROM XT-M7731",
      "revision": "1029", "build": 32, "drive_code": "km", "update_needed": true,
      "status": "update-needed"})"));
}

TEST(LinuxUpdaterInJapanese, TheTermsAndTheProgramsMessagesAreJapaneseInUtf8) {
  test::LinuxMachine machine("ja_JP.UTF-8");
  machine.AddDrive("/dev/sr0");
  EXPECT_EQ(machine.Run({}, "y\ny\n"), exit_code::kUpdated) << machine.Err();
  EXPECT_THAT(machine.Out(),
              HasSubstr("[注意事項]\n1) 本プログラムは DVD-ROM XT-M7731 専用です。"));
  EXPECT_THAT(machine.Out(), HasSubstr("[y = 合意する / N = 合意しない] "));
  EXPECT_THAT(machine.Out(), HasSubstr("アップデート終了。\nverified: now 1033 build 32\n"));
  EXPECT_THAT(machine.Out(), Not(HasSubstr("\r")));
}

TEST(LinuxUpdaterCommandLine, HelpVersionAndMistakes) {
  test::LinuxMachine machine;
  EXPECT_EQ(machine.Run({"--help"}), exit_code::kUpdated);
  EXPECT_THAT(machine.Out(), HasSubstr("Usage: xtm7731-update [OPTION]...\n"));
  EXPECT_EQ(machine.Run({"-V"}), exit_code::kUpdated);
  EXPECT_THAT(machine.Out(), HasSubstr("xtm7731-update 5.2.0\nFirmware 1033 build 32 for the "
                                       "QUENTAR DVD-ROM XT-M7731 (drive code km).\n"));
  struct Case {
    std::vector<std::string> arguments;
    std::string error;
  };
  const std::vector<Case> cases{
      {{"--frobnicate"}, "unknown option --frobnicate"},
      {{"/dev/sr0"}, "unexpected argument /dev/sr0"},
      {{"--device"}, "--device needs a value"},
      {{"--device="}, "--device needs a path"},
      {{"--yes=no"}, "--yes takes no value"},
      {{"--list", "--dry-run"}, "--list and --dry-run do not go together"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(machine.Run(c.arguments), exit_code::kFailed);
    EXPECT_EQ(machine.Err(), "xtm7731-update: " + c.error +
                                 "\nTry 'xtm7731-update --help' for more information.\n");
  }
}

}  // namespace
}  // namespace fwu
