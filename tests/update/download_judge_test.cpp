// The judge of the end-to-end runs' drive logs, over the log of a real download: the worker
// writing a drive of the simulated PC by each transport, through the log file's text. What it
// accepts, and that it finds each fault a transport or the program could bring into a log.
#include "drive_report/download_judge.h"

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "drive_report/command_log_line.h"
#include "drive_report/drive_log.h"
#include "support/drive_rig.h"
#include "update/update_worker.h"

namespace fwu::test {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;

// The drive's log of one boot: the enumeration's commands, then the worker's.
std::vector<LoggedBoot> DownloadLog(TransportKind kind, std::uint8_t refused_block = 0) {
  DriveRig rig(kind, 1252);
  emulator::EmulatedDrive& drive = rig.AddDrive(emulator::EmulatedDrive::XtM7731());
  drive.KnowFirmware(PlainImage(), emulator::FirmwareIdentity{"1033", 32});
  if (refused_block != 0) {
    drive.Faults().Add(emulator::FaultRule{.match = emulator::FaultMatch::Page(0xC0, refused_block),
                                           .action = emulator::FaultAction::CheckCondition(
                                               emulator::sense::kInvalidFieldInParameterList),
                                           .count = emulator::kForever});
  }
  EXPECT_EQ(rig.Transport().Enumerate(), 1);
  UpdateWorker(WorkerParams{0, &rig.Transport()}, ImageList()[0], rig.Clock());
  std::stringstream file;
  file << BootLogLine("test", "1029");
  unsigned number = 0;
  for (const emulator::CommandRecord& record : drive.Log().Records()) {
    file << CommandLogLine(record, ++number);
  }
  std::string error;
  const auto boots = ReadDriveLog(file, error);
  EXPECT_TRUE(boots) << error;
  return boots.value_or(std::vector<LoggedBoot>{});
}

std::string Findings(const Verdict& verdict) {
  std::string text;
  for (const std::string& finding : verdict.findings) {
    text += finding + "\n";
  }
  return text;
}

class DownloadJudgeTest : public ::testing::TestWithParam<TransportKind> {};

TEST_P(DownloadJudgeTest, AcceptsARealDownloadAndMeasuresItsWaits) {
  const std::vector<LoggedBoot> boots = DownloadLog(GetParam());
  const Verdict verdict = JudgeDriveLog(boots, {.outcome = ExpectedDownload::kComplete});
  EXPECT_THAT(verdict.findings, IsEmpty()) << Findings(verdict);
  // On the virtual clock the eject takes its 1.5 s, then the drive gets its 122 s.
  EXPECT_THAT(verdict.measured[0], HasSubstr("eject to the first 0xF0 step: 123500 ms"));
  EXPECT_THAT(verdict.measured[1], HasSubstr("first to second 0xF0 step: 3050 ms"));
  // Waits that the build was to divide but did not are found.
  const Verdict undivided = JudgeDriveLog(boots, {.wait_divisor = 20});
  EXPECT_THAT(Findings(undivided), HasSubstr("eject to the first 0xF0 step: 123500 ms"));
  EXPECT_THAT(JudgeDriveLog(boots, {.outcome = ExpectedDownload::kNone}).findings,
              ::testing::ElementsAre(HasSubstr("the drive was written to")));
}

TEST_P(DownloadJudgeTest, ARefusedBlockEndsTheDownload) {
  const std::vector<LoggedBoot> boots = DownloadLog(GetParam(), 4);
  const Verdict refused =
      JudgeDriveLog(boots, {.outcome = ExpectedDownload::kRefusedBlock, .refused_block = 4});
  EXPECT_THAT(refused.findings, IsEmpty()) << Findings(refused);
  EXPECT_THAT(Findings(JudgeDriveLog(boots, {})), HasSubstr("the download ends before page c0/05"));
  EXPECT_THAT(Findings(JudgeDriveLog(
                  boots, {.outcome = ExpectedDownload::kRefusedBlock, .refused_block = 3})),
              HasSubstr("sent after the download's last step"));
}

INSTANTIATE_TEST_SUITE_P(BothTransports, DownloadJudgeTest,
                         ::testing::Values(TransportKind::kPassThrough, TransportKind::kAspi),
                         [](const auto& param_info) { return NameOf(param_info.param); });

// The worker's commands in the log: the eject is the one that starts them.
std::size_t EjectAt(const LoggedBoot& boot) {
  for (std::size_t i = 0; i < boot.commands.size(); ++i) {
    if (boot.commands[i].cdb[0] == 0x1B) {
      return i;
    }
  }
  return boot.commands.size();
}

TEST(DownloadJudge, FindsEachFaultOfTheLog) {
  const std::vector<LoggedBoot> log = DownloadLog(TransportKind::kPassThrough);
  const std::size_t eject = EjectAt(log[0]);
  ASSERT_EQ(log[0].commands.size(), eject + 10) << "PREVENT ALLOW, the eject, nine pages";
  struct Case {
    const char* fault;
    std::function<void(std::vector<LoggedBoot>&)> spoil;
    const char* finding;  // nullptr: none
  };
  auto& worker = log[0].commands;
  const std::vector<Case> cases{
      {"a block left out",
       [&](auto& boots) { boots[0].commands.erase(boots[0].commands.begin() + eject + 5); },
       "(page c0/04) where page c0/03 in 32776 bytes belongs"},
      {"a block sent twice",
       [&](auto& boots) {
         boots[0].commands.insert(boots[0].commands.begin() + eject + 4, worker[eject + 4]);
       },
       "(page c0/02) where page c0/03 in 32776 bytes belongs"},
      {"a block repeated after UNIT ATTENTION",
       [&](auto& boots) {
         LoggedCommand attention = worker[eject + 4];
         attention.status = 2;
         attention.sense = emulator::sense::kPowerOnReset;
         boots[0].commands.insert(boots[0].commands.begin() + eject + 4, attention);
       },
       nullptr},
      {"data out sent as data in",
       [&](auto& boots) { boots[0].commands[eject + 3].direction = DataDirection::kIn; },
       "data in where out belongs"},
      {"a block of 32,768 bytes",
       [&](auto& boots) { boots[0].commands[eject + 3].data_length = 32768; },
       "32768 data bytes where the CDB announces 32776"},
      {"a data phase the drive found unfit",
       [&](auto& boots) { boots[0].commands[1].misfit = "wrong-direction"; },
       "the drive found the data phase unfit"},
      {"a command the drive does not know",
       [&](auto& boots) { boots[0].commands[0].cdb = {0x03, 0, 0, 0, 18, 0}; },
       "a command the drive does not know"},
      {"the second 0xF0 step at once",
       [&](auto& boots) { boots[0].commands[eject + 2].time_ms -= 3000; },
       "first to second 0xF0 step: 50 ms"},
      {"no eject before the download", [&](auto& boots) { boots[0].commands[eject].cdb[4] = 0x01; },
       "download without an eject"},
      {"something after the closing step",
       [&](auto& boots) { boots[0].commands.push_back(worker[1]); },
       "sent after the download's last step"},
      {"a download in an earlier boot", [&](auto& boots) { boots.insert(boots.begin(), boots[0]); },
       "boot 1: a download before the last one"},
  };
  for (const Case& c : cases) {
    std::vector<LoggedBoot> spoilt = log;
    c.spoil(spoilt);
    const Verdict verdict = JudgeDriveLog(spoilt, {});
    if (c.finding == nullptr) {
      EXPECT_THAT(verdict.findings, IsEmpty()) << c.fault << "\n" << Findings(verdict);
    } else {
      EXPECT_THAT(Findings(verdict), HasSubstr(c.finding)) << c.fault;
    }
  }
}

TEST(DriveLog, ALogThatDoesNotReadIsRefusedWithItsLine) {
  std::stringstream file;
  file << BootLogLine("test", "1029") << "{\"n\": 1, \"cdb\": \"zz\"}\n";
  std::string error;
  EXPECT_EQ(ReadDriveLog(file, error), std::nullopt);
  EXPECT_THAT(error, HasSubstr("line 2"));
  std::stringstream orphan("{\"n\": 1}\n");
  EXPECT_EQ(ReadDriveLog(orphan, error), std::nullopt);
  EXPECT_THAT(error, HasSubstr("before the first boot line"));
}

}  // namespace
}  // namespace fwu::test
