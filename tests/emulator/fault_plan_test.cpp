#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "drive_host.h"
#include "emulator/emulated_drive.h"

namespace fwu::emulator {
namespace {

using testing::DriveHost;
using ::testing::ElementsAre;
using testing::SenseOf;
using testing::TestImage;

class Faults : public ::testing::Test {
 protected:
  EmulatedDrive drive_{EmulatedDrive::XtM7731()};
  DriveHost host_{drive_};
};

TEST_F(Faults, UnitAttentionSomeTimesThenSuccess) {
  drive_.Faults().Add(FaultRule::UnitAttention(FaultMatch::Command(opcode::kTestUnitReady), 3));
  for (int attempt = 1; attempt <= 3; ++attempt) {
    const CommandOutcome outcome = host_.Send(TestUnitReadyCdb());
    EXPECT_EQ(outcome.sense[2], sense_key::kUnitAttention) << attempt;
    EXPECT_EQ(SenseOf(outcome), sense::kPowerOnReset) << attempt;
  }
  EXPECT_EQ(host_.Send(TestUnitReadyCdb()).status, scsi_status::kGood);
  EXPECT_EQ(drive_.Log().Records()[0].faulted, true);
  EXPECT_EQ(drive_.Log().Records()[3].faulted, false);
}

TEST_F(Faults, RulesCountOnlyTheirOwnMatchesFromTheNthOn) {
  drive_.Faults().Add(FaultRule{.match = FaultMatch::Command(opcode::kTestUnitReady),
                                .action = FaultAction::Status(scsi_status::kBusy),
                                .first = 2,
                                .count = 2});
  std::vector<std::uint8_t> statuses;
  for (int i = 0; i < 5; ++i) {
    statuses.push_back(host_.Send(TestUnitReadyCdb()).status);
    std::vector<std::uint8_t> data(36);
    ASSERT_EQ(host_.Inquiry(data).status, scsi_status::kGood) << "other commands do not count";
  }
  EXPECT_THAT(statuses, ElementsAre(0x00, 0x08, 0x08, 0x00, 0x00));
}

TEST_F(Faults, ForeverAndAnyCommand) {
  drive_.Faults().Add(FaultRule{.match = FaultMatch::AnyCommand(),
                                .action = FaultAction::Status(scsi_status::kQueueFull),
                                .first = 3,
                                .count = kForever});
  EXPECT_EQ(host_.Send(TestUnitReadyCdb()).status, scsi_status::kGood);
  EXPECT_EQ(host_.Send(PreventAllowMediumRemovalCdb(0)).status, scsi_status::kGood);
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(host_.Send(TestUnitReadyCdb()).status, scsi_status::kQueueFull);
  }
  drive_.Faults().Clear();
  EXPECT_EQ(host_.Send(TestUnitReadyCdb()).status, scsi_status::kGood);
}

TEST_F(Faults, FaultedCommandsAreNotExecuted) {
  drive_.Faults().Add({.match = FaultMatch::Command(opcode::kStartStopUnit),
                       .action = FaultAction::NoCompletion()});
  drive_.Faults().Add({.match = FaultMatch::Command(opcode::kStartStopUnit),
                       .action = FaultAction::CheckCondition({0x04, 0x40, 0x84}, 0x5A),
                       .first = 2});
  EXPECT_FALSE(host_.Send(StartStopUnitCdb(0, 0, 1)).completed);
  EXPECT_TRUE(drive_.MediumPresent());
  const CommandOutcome refused = host_.Send(StartStopUnitCdb(0, 0, 1));
  EXPECT_EQ(SenseOf(refused), (SenseCode{0x04, 0x40, 0x84}));
  EXPECT_EQ(refused.sense[19], 0x5A);
  EXPECT_TRUE(drive_.MediumPresent());
  EXPECT_EQ(host_.Send(StartStopUnitCdb(0, 0, 1)).status, scsi_status::kGood);
  EXPECT_FALSE(drive_.MediumPresent());
}

TEST_F(Faults, ShortInquiryData) {
  drive_.Faults().Add(
      {.match = FaultMatch::Command(opcode::kInquiry), .action = FaultAction::ShortData(20)});
  std::vector<std::uint8_t> data(44, 0xEE);
  const CommandOutcome outcome = host_.Inquiry(data);
  EXPECT_EQ(outcome.status, scsi_status::kGood);
  EXPECT_EQ(outcome.transferred, 20U);
  EXPECT_EQ(data[17], 'V') << "product starts at 16";
  EXPECT_EQ(data[20], 0xEE);
}

TEST_F(Faults, DurationFault) {
  drive_.Faults().Add({.match = FaultMatch::Command(opcode::kTestUnitReady),
                       .action = FaultAction::Duration(30'000)});
  const CommandOutcome outcome = host_.Send(TestUnitReadyCdb());
  EXPECT_EQ(outcome.status, scsi_status::kGood);
  EXPECT_EQ(outcome.duration_ms, 30'000U);
}

TEST_F(Faults, RejectedBlockBreaksTheDownloadAfterItsPredecessors) {
  const std::vector<std::uint8_t> image = TestImage();
  drive_.KnowFirmware(image, FirmwareIdentity{"1033", 33});
  drive_.Faults().Add({.match = FaultMatch::Page(sub_command::kDownloadData, 4),
                       .action = FaultAction::CheckCondition(sense::kRomUpdateFailure)});
  EXPECT_EQ(SenseOf(host_.Download(image)), sense::kRomUpdateFailure);
  EXPECT_EQ(drive_.Download(), DownloadState::kPending);
  EXPECT_EQ(drive_.BlocksReceived(), 3U);
  EXPECT_EQ(drive_.Log().SentPages().back(), (PageCommand{sub_command::kDownloadData, 4}));
}

TEST_F(Faults, UnitAttentionOnADownloadStepOnlyDefersIt) {
  const std::vector<std::uint8_t> image = TestImage();
  drive_.KnowFirmware(image, FirmwareIdentity{"1033", 33});
  drive_.Faults().Add(FaultRule::UnitAttention(FaultMatch::Page(sub_command::kDownloadData), 1));
  host_.Page(sub_command::kDownloadControl, 0x00);
  host_.Page(sub_command::kDownloadControl, 0xFF);
  const auto block = std::span(image).first(kDownloadBlockBytes);
  EXPECT_EQ(SenseOf(host_.Page(sub_command::kDownloadData, 1, block)), sense::kPowerOnReset);
  EXPECT_EQ(drive_.Download(), DownloadState::kReceiving);
  EXPECT_EQ(host_.Page(sub_command::kDownloadData, 1, block).status, scsi_status::kGood);
  EXPECT_EQ(drive_.BlocksReceived(), 1U);
}

}  // namespace
}  // namespace fwu::emulator
