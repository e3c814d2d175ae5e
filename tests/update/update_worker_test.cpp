// The worker on its own: what it sends when it cannot start, and the bytes of the download.
#include "update/update_worker.h"

#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "drive/command_set.h"
#include "emulator/emulated_drive.h"
#include "support/drive_rig.h"

namespace fwu {
namespace {

using test::DriveRig;
using test::TransportKind;

WorkingBuffer NoMemory(std::size_t /*bytes*/) {
  return nullptr;
}

TEST(UpdateWorker, WithoutItsBufferItFailsAtOnceAndSendsNothing) {
  DriveRig rig(TransportKind::kPassThrough, 1252);
  emulator::EmulatedDrive& drive = rig.AddDrive(emulator::EmulatedDrive::XtM7731());
  ASSERT_EQ(rig.Transport().Enumerate(), 1);
  drive.Log().Clear();
  const std::uint64_t start = rig.Clock().NowMilliseconds();

  EXPECT_EQ(UpdateWorker(WorkerParams{0, &rig.Transport()}, ImageList()[0], rig.Clock(), &NoMemory),
            kWorkerFailed);
  EXPECT_EQ(drive.Log().Size(), 0U);
  EXPECT_EQ(rig.Clock().NowMilliseconds(), start) << "no wait either";
}

TEST(UpdateWorker, SendsEachBlockBehindItsPageHeaderAndAFullImageInstallsIt) {
  DriveRig rig(TransportKind::kPassThrough, 1252);
  emulator::EmulatedDrive& drive = rig.AddDrive(emulator::EmulatedDrive::XtM7731("1029", 32));
  const std::vector<std::uint8_t> plain = test::PlainImage();
  ASSERT_EQ(plain.size(), kImageBytes);
  drive.KnowFirmware(plain, emulator::FirmwareIdentity{"1033", 32});
  ASSERT_EQ(rig.Transport().Enumerate(), 1);
  drive.Log().Clear();

  EXPECT_EQ(UpdateWorker(WorkerParams{0, &rig.Transport()}, ImageList()[0], rig.Clock()),
            kWorkerSucceeded);
  const auto records = drive.Log().Records();
  ASSERT_EQ(records.size(), 11U);
  for (std::size_t k = 0; k < 6; ++k) {
    const auto& block = records[4 + k];
    EXPECT_THAT(block.cdb, ::testing::ElementsAre(0x1D, 0x00, 0x00, 0x80, 0x08, 0x00));
    EXPECT_EQ(block.data_length, 32776U);
    ASSERT_TRUE(block.page.has_value());
    EXPECT_EQ(block.page->sub_command, 0xC0);
    EXPECT_EQ(block.page->argument, k + 1);
  }
  EXPECT_TRUE(std::ranges::equal(drive.ReceivedImage(), plain));
  EXPECT_EQ(drive.Revision(), "1033");
  // The drive is given 2 s after the closing step before the worker reports success.
  const auto& closing = records.back();
  EXPECT_EQ(rig.Clock().NowMilliseconds(), closing.time_ms + closing.duration_ms + 2000);
}

}  // namespace
}  // namespace fwu
