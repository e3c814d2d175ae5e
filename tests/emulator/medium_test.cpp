#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "drive_host.h"
#include "emulator/emulated_drive.h"
#include "emulator/medium_data.h"

namespace fwu::emulator {
namespace {

using testing::DriveHost;
using testing::SenseOf;

const Cdb kEject = StartStopUnitCdb(0, 0, 1);
const Cdb kLoad = StartStopUnitCdb(1, 0, 1);

TEST(Medium, ReadReturnsTheAddressedBlocks) {
  EmulatedDrive drive(EmulatedDrive::XtM7731());
  std::vector<std::uint8_t> data(2 * kMediumBlockBytes);
  const CommandOutcome outcome = DriveHost(drive).Send(Read10Cdb(16, 2, 0, 0), data);
  ASSERT_EQ(outcome.status, scsi_status::kGood);
  EXPECT_EQ(outcome.transferred, data.size());
  EXPECT_EQ(std::string(data.begin(), data.begin() + 16), "LBA 00000010    ");
  EXPECT_EQ(std::string(data.begin() + kMediumBlockBytes, data.begin() + kMediumBlockBytes + 16),
            "LBA 00000011    ");
  EXPECT_NE(data[100], data[kMediumBlockBytes + 100]);
}

TEST(Medium, ReadChecksItsFields) {
  EmulatedDrive drive(EmulatedDrive::XtM7731());
  DriveHost host(drive);
  std::vector<std::uint8_t> data(kMediumBlockBytes);
  EXPECT_EQ(SenseOf(host.Send(Read10Cdb(kMediumBlockCount, 1, 0, 0), data)),
            sense::kLogicalBlockOutOfRange);
  EXPECT_EQ(SenseOf(host.Send(Read10Cdb(kMediumBlockCount - 1, 1, 0, 0), data)), SenseCode{});
  EXPECT_EQ(SenseOf(host.Send(Read10Cdb(16, 1, 0, 1), data)), sense::kInvalidFieldInCdb)
      << "relative addressing";
  EXPECT_EQ(SenseOf(host.Send(Read10Cdb(16, 2, 0, 0), data)), sense::kInvalidFieldInCdb)
      << "two blocks into a one-block buffer";
  EXPECT_EQ(host.Send(Read10Cdb(16, 1, 1, 0), data).status, scsi_status::kGood) << "FUA";
}

TEST(Medium, EjectRemovesTheMediumUnlessPrevented) {
  EmulatedDrive drive(EmulatedDrive::XtM7731());
  DriveHost host(drive);
  std::vector<std::uint8_t> data(kMediumBlockBytes);

  ASSERT_EQ(host.Send(PreventAllowMediumRemovalCdb(1)).status, scsi_status::kGood);
  EXPECT_EQ(SenseOf(host.Send(kEject)), sense::kMediumRemovalPrevented);
  EXPECT_TRUE(drive.MediumPresent());

  ASSERT_EQ(host.Send(PreventAllowMediumRemovalCdb(0)).status, scsi_status::kGood);
  EXPECT_EQ(host.Send(kEject).status, scsi_status::kGood);
  EXPECT_FALSE(drive.MediumPresent());
  EXPECT_EQ(SenseOf(host.Send(TestUnitReadyCdb())), sense::kMediumNotPresent);
  EXPECT_EQ(SenseOf(host.Send(Read10Cdb(16, 1, 0, 0), data)), sense::kMediumNotPresent);
  EXPECT_EQ(host.Send(kEject).status, scsi_status::kGood) << "an open tray opens again";
}

TEST(Medium, LoadingTheEjectedDiscReportsAMediumChangeOnce) {
  EmulatedDrive drive(EmulatedDrive::XtM7731());
  DriveHost host(drive);
  ASSERT_EQ(host.Send(kEject).status, scsi_status::kGood);
  ASSERT_EQ(host.Send(kLoad).status, scsi_status::kGood);
  EXPECT_TRUE(drive.MediumPresent());
  EXPECT_EQ(SenseOf(host.Send(TestUnitReadyCdb())), sense::kMediumMayHaveChanged);
  EXPECT_EQ(host.Send(TestUnitReadyCdb()).status, scsi_status::kGood);
}

TEST(Medium, InquiryNeitherReportsNorClearsAUnitAttention) {
  DriveConfig config = EmulatedDrive::XtM7731();
  config.medium_present = false;
  EmulatedDrive drive(config);
  DriveHost host(drive);
  std::vector<std::uint8_t> data(44);
  drive.InsertMedium();
  EXPECT_EQ(host.Inquiry(data).status, scsi_status::kGood);
  EXPECT_EQ(SenseOf(host.Send(TestUnitReadyCdb())), sense::kMediumMayHaveChanged);
  EXPECT_EQ(host.Send(TestUnitReadyCdb()).status, scsi_status::kGood);
}

TEST(Medium, PowerCycleRaisesTheConfiguredResetAndDropsPrevention) {
  DriveConfig config = EmulatedDrive::XtM7731();
  config.unit_attention_at_power_on = true;
  EmulatedDrive drive(config);
  DriveHost host(drive);
  EXPECT_EQ(SenseOf(host.Send(PreventAllowMediumRemovalCdb(1))), sense::kPowerOnReset)
      << "reported, and the command not executed";
  ASSERT_EQ(host.Send(PreventAllowMediumRemovalCdb(1)).status, scsi_status::kGood);

  drive.PowerCycle();
  drive.InsertMedium();
  EXPECT_EQ(SenseOf(host.Send(kEject)), sense::kPowerOnReset) << "the reset covers the insertion";
  EXPECT_EQ(host.Send(kEject).status, scsi_status::kGood) << "prevention ended with the power";
}

}  // namespace
}  // namespace fwu::emulator
