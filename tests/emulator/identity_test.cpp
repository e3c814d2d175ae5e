#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "drive_host.h"
#include "emulator/emulated_drive.h"

namespace fwu::emulator {
namespace {

using testing::DriveHost;
using testing::SenseOf;

std::string Text(const std::vector<std::uint8_t>& data, std::size_t at, std::size_t length) {
  return {data.begin() + static_cast<std::ptrdiff_t>(at),
          data.begin() + static_cast<std::ptrdiff_t>(at + length)};
}

TEST(DriveIdentity, InquiryCarriesTypeVendorProductAndRevision) {
  EmulatedDrive drive(EmulatedDrive::XtM7731("1029", 32));
  std::vector<std::uint8_t> data(44);
  const CommandOutcome outcome = DriveHost(drive).Inquiry(data);
  ASSERT_EQ(outcome.status, scsi_status::kGood);
  EXPECT_EQ(outcome.transferred, 44U);
  EXPECT_EQ(data[0], 0x05);
  EXPECT_EQ(data[1] & 0x80, 0x80) << "removable medium";
  EXPECT_EQ(data[4], 91) << "additional length of 96 bytes";
  EXPECT_EQ(Text(data, 8, 28),
            "QUENTAR DVD-ROM XT-M7731"
            "1029");
}

TEST(DriveIdentity, AllocationLengthBoundsTheTransferAndTheBufferIsNeverOverrun) {
  EmulatedDrive drive(EmulatedDrive::XtM7731());
  DriveHost host(drive);
  struct Case {
    std::uint8_t allocation;
    std::uint32_t moved;
  };
  for (const Case c : {Case{0, 0}, Case{5, 5}, Case{36, 36}, Case{96, 96}, Case{255, 96}}) {
    std::vector<std::uint8_t> buffer(300, 0xEE);
    const CommandOutcome outcome = host.Send(InquiryCdb(c.allocation), buffer);
    ASSERT_EQ(outcome.status, scsi_status::kGood) << int{c.allocation};
    EXPECT_EQ(outcome.transferred, c.moved) << int{c.allocation};
    EXPECT_TRUE(
        std::all_of(buffer.begin() + c.moved, buffer.end(), [](auto b) { return b == 0xEE; }))
        << "bytes beyond the transfer are untouched, allocation " << int{c.allocation};
  }
}

TEST(DriveIdentity, ShortHostBufferIsRefusedUntouched) {
  EmulatedDrive drive(EmulatedDrive::XtM7731());
  std::vector<std::uint8_t> buffer(20, 0xEE);
  const Cdb cdb = InquiryCdb(36);
  const CommandOutcome outcome =
      drive.Execute(std::span(cdb.bytes).first(6), DataDirection::kIn, buffer);
  EXPECT_EQ(SenseOf(outcome), sense::kInvalidFieldInCdb);
  EXPECT_EQ(outcome.transferred, 0U);
  EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](auto b) { return b == 0xEE; }));
  EXPECT_EQ(drive.Log().Last()->misfit, DataPhaseMisfit::kBufferTooShort);
}

TEST(DriveIdentity, VitalProductDataIsRefused) {
  EmulatedDrive drive(EmulatedDrive::XtM7731());
  DriveHost host(drive);
  std::vector<std::uint8_t> data(44);
  Cdb evpd = InquiryCdb(44);
  evpd.bytes[1] = 0x01;
  Cdb page = InquiryCdb(44);
  page.bytes[2] = 0x80;
  EXPECT_EQ(SenseOf(host.Send(evpd, data)), sense::kInvalidFieldInCdb);
  EXPECT_EQ(SenseOf(host.Send(page, data)), sense::kInvalidFieldInCdb);
}

TEST(DriveIdentity, IdentificationQueryGivesDriveCodeAndSignedBuild) {
  EmulatedDrive drive(EmulatedDrive::XtM7731("1033", -1));
  std::array<std::uint8_t, kIdentificationResultBytes> result{};
  ASSERT_EQ(DriveHost(drive).Identify(result).status, scsi_status::kGood);
  EXPECT_EQ(result[0], 0x88);
  EXPECT_EQ(result[2], 0x00);
  EXPECT_EQ(result[3], 0x0C);
  EXPECT_EQ(result[6], 'k');
  EXPECT_EQ(result[7], 'm');
  EXPECT_EQ(result[15], 0xFF);
}

TEST(DriveIdentity, ResultsWithoutAQueryAreASequenceError) {
  EmulatedDrive drive(EmulatedDrive::XtM7731());
  std::array<std::uint8_t, kIdentificationResultBytes> result{};
  const CommandOutcome outcome = DriveHost(drive).Send(ReceiveDiagnosticResultsCdb(16), result);
  EXPECT_EQ(SenseOf(outcome), sense::kCommandSequenceError);
}

TEST(DriveIdentity, SelfTestAndPageFormatBitsAreRefused) {
  EmulatedDrive drive(EmulatedDrive::XtM7731());
  DriveHost host(drive);
  auto page = DriveHost::PageBytes(sub_command::kIdentify, 0);
  Cdb page_format = SendDiagnosticCdb(0, 8);
  page_format.bytes[1] = 0x10;
  EXPECT_EQ(SenseOf(host.Send(SendDiagnosticCdb(1, 8), page)), sense::kInvalidFieldInCdb);
  EXPECT_EQ(SenseOf(host.Send(page_format, page)), sense::kInvalidFieldInCdb);
}

TEST(DriveIdentity, OtherDevices) {
  std::vector<std::uint8_t> data(44);
  std::array<std::uint8_t, kIdentificationResultBytes> result{};

  EmulatedDrive sibling(EmulatedDrive::OtherModel());
  DriveHost sibling_host(sibling);
  ASSERT_EQ(sibling_host.Inquiry(data).status, scsi_status::kGood);
  EXPECT_EQ(Text(data, 16, 16), "DVD-ROM XT-M4418");
  ASSERT_EQ(sibling_host.Identify(result).status, scsi_status::kGood);
  EXPECT_EQ(Text({result.begin(), result.end()}, 6, 2), "kx");
  EXPECT_EQ(SenseOf(sibling_host.Page(sub_command::kDownloadControl, 0)),
            sense::kInvalidFieldInParameterList);
  EXPECT_EQ(sibling.Download(), DownloadState::kIdle);

  EmulatedDrive disk(EmulatedDrive::DirectAccessWithSameProduct());
  DriveHost disk_host(disk);
  ASSERT_EQ(disk_host.Inquiry(data).status, scsi_status::kGood);
  EXPECT_EQ(data[0], 0x00);
  EXPECT_EQ(Text(data, 16, 16), "DVD-ROM XT-M7731");
  EXPECT_EQ(SenseOf(disk_host.Page(sub_command::kIdentify, 0)),
            sense::kInvalidFieldInParameterList);

  EmulatedDrive other_vendor(EmulatedDrive::OtherVendor());
  ASSERT_EQ(DriveHost(other_vendor).Inquiry(data).status, scsi_status::kGood);
  EXPECT_EQ(Text(data, 8, 24), "OTHERCO DVD-ROM XT-M7731");
}

}  // namespace
}  // namespace fwu::emulator
