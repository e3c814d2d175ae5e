#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "drive_host.h"
#include "emulator/emulated_drive.h"

namespace fwu::emulator {
namespace {

using testing::DriveHost;
using ::testing::ElementsAreArray;
using testing::SenseOf;
using testing::TestImage;

using Page = std::vector<std::uint8_t>;

class Download : public ::testing::Test {
 protected:
  Download() { drive_.KnowFirmware(image_, FirmwareIdentity{"1033", 33}); }

  Page Arm() const { return DriveHost::PageBytes(sub_command::kDownloadControl, 0x00); }
  Page Start() const { return DriveHost::PageBytes(sub_command::kDownloadControl, 0xFF); }
  Page Close() const { return DriveHost::PageBytes(sub_command::kDownloadData, 0x00); }
  Page Block(std::uint32_t n) const {
    const std::size_t from = std::min(n - 1, kDownloadBlockCount - 1) * kDownloadBlockBytes;
    return DriveHost::PageBytes(sub_command::kDownloadData, static_cast<std::uint8_t>(n),
                                std::span(image_).subspan(from, kDownloadBlockBytes));
  }
  std::vector<Page> UpToBlock(std::uint32_t last) const {
    std::vector<Page> pages{Arm(), Start()};
    for (std::uint32_t n = 1; n <= last; ++n) {
      pages.push_back(Block(n));
    }
    return pages;
  }

  CommandOutcome Send(Page page) {
    return host_.Send(SendDiagnosticCdb(0, static_cast<std::uint16_t>(page.size())), page);
  }

  std::vector<std::uint8_t> image_ = TestImage();
  EmulatedDrive drive_{EmulatedDrive::XtM7731("1029", 32)};
  DriveHost host_{drive_};
};

TEST_F(Download, CompleteDownloadInstallsTheImageAndResetsOnce) {
  ASSERT_EQ(host_.Download(image_).status, scsi_status::kGood);
  EXPECT_EQ(drive_.Download(), DownloadState::kIdle);
  EXPECT_EQ(drive_.BlocksReceived(), kDownloadBlockCount);
  EXPECT_TRUE(std::ranges::equal(drive_.ReceivedImage(), image_));

  std::vector<std::uint8_t> inquiry(44);
  ASSERT_EQ(host_.Inquiry(inquiry).status, scsi_status::kGood) << "INQUIRY is exempt";
  EXPECT_EQ(std::string(inquiry.begin() + 32, inquiry.begin() + 36), "1033");
  EXPECT_EQ(SenseOf(host_.Send(TestUnitReadyCdb())), sense::kPowerOnReset);
  EXPECT_EQ(host_.Send(TestUnitReadyCdb()).status, scsi_status::kGood);

  std::array<std::uint8_t, kIdentificationResultBytes> result{};
  ASSERT_EQ(host_.Identify(result).status, scsi_status::kGood);
  EXPECT_EQ(result[15], 33);

  const std::vector<PageCommand> expected{{0xF0, 0x00}, {0xF0, 0xFF}, {0xC0, 1}, {0xC0, 2},
                                          {0xC0, 3},    {0xC0, 4},    {0xC0, 5}, {0xC0, 6},
                                          {0xC0, 0x00}, {0x40, 0x00}};
  EXPECT_THAT(drive_.Log().AcceptedPages(), ElementsAreArray(expected));
}

TEST_F(Download, EveryMisplacedOrMalformedStepLeavesTheDownloadPending) {
  Page long_length = Arm();
  long_length[3] = 0x05;
  Page reserved = Block(1);
  reserved[7] = 0x01;
  Page closing_with_data = Block(6);
  closing_with_data[6] = 0x00;
  Page block_without_data = Block(1);
  block_without_data.resize(8);
  block_without_data[2] = 0x00;
  Page wrong_page_code = Arm();
  wrong_page_code[0] = 0x80;

  struct Case {
    std::string name;
    std::vector<Page> accepted;
    Page refused;
  };
  const std::vector<Case> cases{
      {"second step first", {}, Start()},
      {"block before the second step", {Arm()}, Block(1)},
      {"second step twice", {Arm(), Start()}, Start()},
      {"unknown step argument", {Arm()}, DriveHost::PageBytes(sub_command::kDownloadControl, 1)},
      {"block skipped", UpToBlock(1), Block(3)},
      {"block repeated", UpToBlock(2), Block(2)},
      {"seventh block", UpToBlock(6), Block(7)},
      {"closing after five blocks", UpToBlock(5), Close()},
      {"closing without a download", {}, Close()},
      {"closing with a data block", UpToBlock(6), closing_with_data},
      {"block without its data", UpToBlock(0), block_without_data},
      {"page length beyond the list", {}, long_length},
      {"reserved byte set", UpToBlock(0), reserved},
      {"other page code mid-download", UpToBlock(2), wrong_page_code},
      {"identification mid-download", UpToBlock(1),
       DriveHost::PageBytes(sub_command::kIdentify, 0)},
  };
  for (const Case& c : cases) {
    EmulatedDrive drive(EmulatedDrive::XtM7731("1029", 32));
    drive.KnowFirmware(image_, FirmwareIdentity{"1033", 33});
    DriveHost host(drive);
    for (Page page : c.accepted) {
      ASSERT_EQ(
          host.Send(SendDiagnosticCdb(0, static_cast<std::uint16_t>(page.size())), page).status,
          scsi_status::kGood)
          << c.name;
    }
    Page refused = c.refused;
    const CommandOutcome outcome =
        host.Send(SendDiagnosticCdb(0, static_cast<std::uint16_t>(refused.size())), refused);
    EXPECT_EQ(SenseOf(outcome), sense::kInvalidFieldInParameterList) << c.name;
    EXPECT_EQ(drive.Download(), DownloadState::kPending) << c.name;
    EXPECT_EQ(drive.Revision(), "1029") << c.name;
  }
}

TEST_F(Download, OnlyACompleteNewDownloadClearsPending) {
  ASSERT_EQ(SenseOf(Send(Close())), sense::kInvalidFieldInParameterList);
  ASSERT_EQ(drive_.Download(), DownloadState::kPending);
  EXPECT_EQ(SenseOf(Send(Start())), sense::kInvalidFieldInParameterList);
  EXPECT_EQ(drive_.Download(), DownloadState::kPending);

  // A new download that breaks off falls back to pending, however far it got.
  for (const Page& page : UpToBlock(3)) {
    ASSERT_EQ(Send(page).status, scsi_status::kGood);
  }
  drive_.PowerCycle();
  EXPECT_EQ(drive_.Download(), DownloadState::kPending);
  EXPECT_EQ(SenseOf(Send(Block(4))), sense::kInvalidFieldInParameterList);

  ASSERT_EQ(host_.Download(image_).status, scsi_status::kGood);
  EXPECT_EQ(drive_.Download(), DownloadState::kIdle);
  EXPECT_EQ(drive_.Revision(), "1033");
}

TEST_F(Download, UnknownImageIsRefusedAndLeftPending) {
  const std::vector<std::uint8_t> other = TestImage(2);
  const CommandOutcome outcome = host_.Download(other);
  EXPECT_EQ(outcome.status, scsi_status::kCheckCondition);
  EXPECT_EQ(SenseOf(outcome), sense::kRomUpdateFailure);
  EXPECT_EQ(drive_.Download(), DownloadState::kPending);
  EXPECT_EQ(drive_.Revision(), "1029");
  EXPECT_EQ(drive_.Build(), 32);
  EXPECT_TRUE(std::ranges::equal(drive_.ReceivedImage(), other));
  EXPECT_EQ(host_.Send(TestUnitReadyCdb()).status, scsi_status::kGood) << "no reset";
}

TEST_F(Download, SavedStateCarriesADownloadOverToANewDrive) {
  for (const Page& page : UpToBlock(3)) {
    ASSERT_EQ(Send(page).status, scsi_status::kGood);
  }
  const DriveState saved = drive_.State();

  EmulatedDrive restored(EmulatedDrive::XtM7731("1029", 32));
  restored.KnowFirmware(image_, FirmwareIdentity{"1033", 33});
  restored.SetState(saved);
  DriveHost host(restored);
  for (std::uint32_t n = 4; n <= kDownloadBlockCount; ++n) {
    Page page = Block(n);
    ASSERT_EQ(host.Send(SendDiagnosticCdb(0, 32776), page).status, scsi_status::kGood);
  }
  Page close = Close();
  ASSERT_EQ(host.Send(SendDiagnosticCdb(0, 8), close).status, scsi_status::kGood);
  EXPECT_EQ(restored.Revision(), "1033");
  EXPECT_TRUE(std::ranges::equal(restored.ReceivedImage(), image_));
}

}  // namespace
}  // namespace fwu::emulator
