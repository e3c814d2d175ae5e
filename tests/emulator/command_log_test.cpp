#include <string_view>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "drive_host.h"
#include "emulator/emulated_drive.h"

namespace fwu::emulator {
namespace {

using testing::DriveHost;
using ::testing::ElementsAre;

std::uint64_t DigestOf(std::string_view text) {
  return Fnv1a64({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

TEST(CommandLog, Fnv1a64KnownValues) {
  EXPECT_EQ(DigestOf(""), 0xCBF29CE484222325ULL);
  EXPECT_EQ(DigestOf("a"), 0xAF63DC4C8601EC8CULL);
  EXPECT_EQ(DigestOf("foobar"), 0x85944171F73967E8ULL);
}

TEST(CommandLog, RecordsWhatMovedEitherWay) {
  EmulatedDrive drive(EmulatedDrive::XtM7731());
  DriveHost host(drive);
  std::uint64_t now = 1000;
  drive.SetTimeSource([&] { return now += 5; });

  std::vector<std::uint8_t> data(2048);
  ASSERT_EQ(host.Send(Read10Cdb(16, 1, 0, 0), data).status, scsi_status::kGood);
  std::vector<std::uint8_t> page = DriveHost::PageBytes(sub_command::kIdentify, 0);
  ASSERT_EQ(host.Send(SendDiagnosticCdb(0, 8), page).status, scsi_status::kGood);
  std::vector<std::uint8_t> small(8);
  ASSERT_EQ(host.Send(ReceiveDiagnosticResultsCdb(16), small).status, scsi_status::kCheckCondition);

  const auto records = drive.Log().Records();
  ASSERT_EQ(records.size(), 3U);
  EXPECT_THAT(records[0].cdb, ElementsAre(0x28, 0, 0, 0, 0, 0x10, 0, 0, 1, 0));
  EXPECT_EQ(records[0].direction, DataDirection::kIn);
  EXPECT_EQ(records[0].transferred, 2048U);
  EXPECT_EQ(records[0].data_digest, Fnv1a64(data));
  EXPECT_EQ(records[0].time_ms, 1005U);
  EXPECT_EQ(records[1].data_digest, Fnv1a64(page));
  EXPECT_EQ(records[1].page, (PageCommand{sub_command::kIdentify, 0}));
  EXPECT_EQ(records[1].time_ms, 1010U);
  EXPECT_EQ(records[2].status, scsi_status::kCheckCondition);
  EXPECT_EQ(records[2].sense, sense::kInvalidFieldInCdb);
  EXPECT_EQ(records[2].misfit, DataPhaseMisfit::kBufferTooShort);
  EXPECT_EQ(records[2].data_digest, kFnv1a64OfNothing);
  EXPECT_EQ(drive.Log().CountOf(opcode::kSendDiagnostic), 1U);

  drive.Log().Clear();
  EXPECT_EQ(drive.Log().Size(), 0U);
}

TEST(CommandLog, DurationsByDefaultAndAsSet) {
  EmulatedDrive drive(EmulatedDrive::XtM7731());
  DriveHost host(drive);
  EXPECT_EQ(host.Send(TestUnitReadyCdb()).duration_ms, 1U);
  EXPECT_EQ(host.Page(sub_command::kDownloadControl, 0).duration_ms, 50U);
  EXPECT_EQ(host.Page(sub_command::kDownloadData, 0).duration_ms, 1U) << "refused at once";
  EXPECT_EQ(host.Send(StartStopUnitCdb(0, 1, 1)).duration_ms, 1U) << "IMMED returns at once";
  EXPECT_EQ(host.Send(StartStopUnitCdb(1, 0, 1)).duration_ms, 1500U);
  EXPECT_EQ(host.Send(TestUnitReadyCdb()).duration_ms, 1U) << "the medium change, refused";
  drive.SetDuration(opcode::kTestUnitReady, 40);
  EXPECT_EQ(host.Send(TestUnitReadyCdb()).duration_ms, 40U);
}

TEST(CommandLog, CommandsFromAnotherThreadAreAllLogged) {
  EmulatedDrive drive(EmulatedDrive::XtM7731());
  constexpr int kCommands = 2000;
  std::thread bus([&] {
    DriveHost host(drive);
    for (int i = 0; i < kCommands; ++i) {
      host.Send(TestUnitReadyCdb());
    }
  });
  std::size_t seen = 0;
  while (seen < kCommands) {
    seen = drive.Log().Records().size();
    (void)drive.State();
  }
  bus.join();
  EXPECT_EQ(drive.Log().CountOf(opcode::kTestUnitReady), static_cast<std::size_t>(kCommands));
}

}  // namespace
}  // namespace fwu::emulator
