// The device-node transport over SG_IO, with emulated drives behind the ioctl: what the drive
// list holds, what each request header carries, and what every kind of answer becomes.
#include <cerrno>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "drive/device_node_transport.h"
#include "drive/drive_transport.h"
#include "emulator/fault_plan.h"
#include "linux_machine.h"
#include "support/shift_jis.h"

namespace fwu {
namespace {

using emulator::EmulatedDrive;
using emulator::FaultAction;
using emulator::FaultMatch;
using emulator::FaultRule;
using test::EmulatedSgIo;

class SgIoTransport : public ::testing::Test {
 protected:
  explicit SgIoTransport(std::string locale = "C") : machine_(std::move(locale)) {}

  // The XT-M7731 at /dev/sr0, listed and selected, with clean logs.
  EmulatedDrive& OneDrive() {
    EmulatedDrive& drive = machine_.AddDrive("/dev/sr0");
    EXPECT_EQ(transport_.Enumerate(), 1);
    transport_.Select(0);
    drive.Log().Clear();
    machine_.io.requests.clear();
    machine_.io.cdbs.clear();
    return drive;
  }

  test::LinuxMachine machine_;
  DeviceNodeTransport transport_{machine_.driver, machine_.locale};
};

TEST_F(SgIoTransport, ListsEachOpticalDriveOfTheModelAndNothingElse) {
  machine_.AddDrive("/dev/sr0");
  emulator::DriveConfig other = EmulatedDrive::OtherModel();
  machine_.AddDrive("/dev/sr1", other);
  machine_.AddDrive("/dev/sg2", EmulatedDrive::DirectAccessWithSameProduct());
  machine_.AddDrive("/dev/sr3", EmulatedDrive::OtherVendor());
  machine_.lister.paths.push_back("/dev/sr9");  // listed by the system, gone since

  ASSERT_EQ(transport_.Enumerate(), 2);
  EXPECT_EQ(transport_.GetEntry(0), "/dev/sr0   QUENTAR DVD-ROM XT-M77311029");
  EXPECT_EQ(transport_.DevicePath(1), "/dev/sr3");
  EXPECT_EQ(transport_.Identity(1), "OTHERCO DVD-ROM XT-M77311029");
  // Every probe opened its device once and closed it again.
  EXPECT_EQ(machine_.io.opens.size(), 5U);
  EXPECT_EQ(machine_.io.OpenDescriptors(), 0U);

  transport_.ProbeOnly({"/dev/sr1", "/dev/sr0"});
  ASSERT_EQ(transport_.Enumerate(), 1);
  EXPECT_EQ(transport_.DevicePath(0), "/dev/sr0");
}

TEST_F(SgIoTransport, EachRequestCarriesTheCommandsDirectionLengthSenseRoomAndTimeOut) {
  OneDrive();
  std::vector<std::uint8_t> data(32776);
  transport_.SetDataBuffer(data.data(), 44);
  EXPECT_EQ(transport_.Inquiry(44), RequestStatus::SS_COMP);
  EXPECT_EQ(std::string(data.begin() + 8, data.begin() + 16), "QUENTAR ") << "INQUIRY came back";
  // Commands without data go out without any, whatever buffer was named before.
  EXPECT_EQ(transport_.StartStopUnit(0, 0, 1), RequestStatus::SS_COMP);
  const std::vector<std::uint8_t> identify{0x88, 0, 0, 0x04, 0, 0x40, 0, 0};
  std::copy(identify.begin(), identify.end(), data.begin());
  transport_.SetDataBuffer(data.data(), 8);
  EXPECT_EQ(transport_.SendDiagnostic(0, 8), RequestStatus::SS_COMP);

  const auto& requests = machine_.io.requests;
  ASSERT_EQ(requests.size(), 3U);
  struct Expected {
    int direction;
    unsigned length;
    std::vector<std::uint8_t> cdb;
  };
  const std::vector<Expected> expected{
      {SG_DXFER_FROM_DEV, 44, {0x12, 0, 0, 0, 0x2C, 0}},
      {SG_DXFER_NONE, 0, {0x1B, 0, 0, 0, 0x02, 0}},
      {SG_DXFER_TO_DEV, 8, {0x1D, 0, 0, 0, 0x08, 0}},
  };
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(requests[i].interface_id, 'S');
    EXPECT_EQ(requests[i].dxfer_direction, expected[i].direction) << i;
    EXPECT_EQ(requests[i].dxfer_len, expected[i].length) << i;
    EXPECT_EQ(machine_.io.cdbs[i], expected[i].cdb);
    EXPECT_EQ(requests[i].mx_sb_len, 24);
    EXPECT_EQ(requests[i].timeout, 200000U);
  }
  // The drive stayed open: one open for the three commands, read and write.
  EXPECT_THAT(machine_.io.opens.back(), ::testing::Pair("/dev/sr0", posix::OpenAccess::kReadWrite));
  EXPECT_EQ(machine_.io.OpenDescriptors(), 1U);
}

TEST_F(SgIoTransport, UnitAttentionIsRetriedAtOnceOnTheOpenDrive) {
  EmulatedDrive& drive = OneDrive();
  const std::size_t opens = machine_.io.opens.size();
  drive.Faults().Add(
      FaultRule::UnitAttention(FaultMatch::Command(opcode::kTestUnitReady), emulator::kForever));
  EXPECT_EQ(transport_.TestUnitReady(), RequestStatus::SS_ERR);
  EXPECT_EQ(drive.Log().CountOf(opcode::kTestUnitReady), 7U);
  EXPECT_EQ(transport_.GetErrorText(), " 29-00 (00)");
  EXPECT_LE(machine_.io.opens.size(), opens + 1);
}

TEST_F(SgIoTransport, DataInThatStopsShortLeavesTheRestOfTheBufferAsItWas) {
  EmulatedDrive& drive = OneDrive();
  drive.Faults().Add(
      FaultRule{FaultMatch::Command(opcode::kInquiry), FaultAction::ShortData(10), 1, 1});
  std::vector<std::uint8_t> data(44, 0xEE);
  transport_.SetDataBuffer(data.data(), 44);
  EXPECT_EQ(transport_.Inquiry(44), RequestStatus::SS_COMP);
  EXPECT_EQ(data[8], 'Q');
  EXPECT_EQ(data[9], 'U');
  EXPECT_EQ(data[10], 0xEE);
  EXPECT_EQ(data[43], 0xEE);
}

// Every way an attempt can end, and the result and text each gives.
TEST_F(SgIoTransport, EachKindOfAnswerGivesItsResultAndText) {
  struct Case {
    std::string name;
    EmulatedSgIo::Answer answer;
    RequestStatus result;
    std::string text;
  };
  const std::vector<Case> cases{
      {"ioctl fails",
       {.ioctl_error = EIO},
       RequestStatus::SS_ERR,
       "Error opening . Error: 5\nInput/output error\n"},
      {"timed out", {.host_status = 0x03}, RequestStatus::SS_PENDING, "Timeout."},
      {"driver timed out", {.driver_status = 0x06}, RequestStatus::SS_PENDING, "Timeout."},
      {"no connection", {.host_status = 0x01}, RequestStatus::SS_ERR, "Selection timeout."},
      {"bus busy",
       {.host_status = 0x02},
       RequestStatus::SS_ERR,
       "Error opening . Error: 16\nDevice or resource busy\n"},
      {"bad target", {.host_status = 0x04}, RequestStatus::SS_NO_DEVICE, "No Device."},
      {"aborted", {.host_status = 0x05}, RequestStatus::SS_ABORTED, "Aborted."},
      {"other host error",
       {.host_status = 0x07},
       RequestStatus::SS_ERR,
       "Error opening . Error: 5\nInput/output error\n"},
      {"driver error",
       {.driver_status = 0x04},
       RequestStatus::SS_ERR,
       "Error opening . Error: 5\nInput/output error\n"},
      {"target busy", {.status = 0x08}, RequestStatus::SS_ERR, "Target Busy."},
      {"queue full", {.status = 0x28}, RequestStatus::SS_ERR, "Queue Full."},
  };
  OneDrive();
  for (const Case& c : cases) {
    machine_.io.AnswerNext(c.answer);
    EXPECT_EQ(transport_.TestUnitReady(), c.result) << c.name;
    EXPECT_EQ(transport_.GetErrorText(), c.text) << c.name;
  }
  // A failed request closes the drive; the next command opens it again and goes through.
  EXPECT_EQ(transport_.TestUnitReady(), RequestStatus::SS_COMP);
  EXPECT_EQ(machine_.io.OpenDescriptors(), 1U);
}

TEST_F(SgIoTransport, APageTheDriveDidNotTakeInFullIsNotSent) {
  OneDrive();
  std::vector<std::uint8_t> page{0x88, 0, 0, 0x04, 0, 0x40, 0, 0};
  transport_.SetDataBuffer(page.data(), 8);
  // The drive says GOOD but leaves two bytes of the parameter list behind.
  machine_.io.AnswerNext({});
  EXPECT_EQ(transport_.SendDiagnostic(0, 8), RequestStatus::SS_ERR);
  EXPECT_EQ(transport_.GetErrorText(), "Overrun or Underrun.");
  EXPECT_EQ(transport_.Request().host_status, 0x12);
}

TEST_F(SgIoTransport, ACheckConditionKeepsTheSenseAndItsCodes) {
  EmulatedDrive& drive = OneDrive();
  drive.Faults().Add(FaultRule{FaultMatch::Command(opcode::kTestUnitReady),
                               FaultAction::CheckCondition({0x02, 0x04, 0x01}, 0xC3), 1, 1});
  EXPECT_EQ(transport_.TestUnitReady(), RequestStatus::SS_ERR);
  EXPECT_EQ(transport_.GetErrorText(), " 04-01 (C3)");
  EXPECT_EQ(transport_.Request().target_status, 0x02);
  EXPECT_EQ(transport_.Request().sense_length, 24U);
  std::uint8_t asc = 0;
  std::uint8_t ascq = 0;
  transport_.GetLastAscAscq(asc, ascq);
  EXPECT_EQ(asc, 0x04);
  EXPECT_EQ(ascq, 0x01);
}

TEST_F(SgIoTransport, RequestsTheStagingAreaCannotHoldAreRefusedUnsent) {
  OneDrive();
  std::vector<std::uint8_t> data(33025);
  transport_.SetDataBuffer(data.data(), 33025);
  EXPECT_EQ(transport_.Inquiry(44), RequestStatus::SS_BUFFER_TO_BIG);
  EXPECT_EQ(transport_.GetErrorText(), "Buffer Too Big");
  EXPECT_TRUE(machine_.io.requests.empty());
  transport_.SetDataBuffer(data.data(), 44);
  EXPECT_EQ(transport_.Inquiry(44), RequestStatus::SS_COMP) << "the transport is not left busy";
}

class SgIoTransportInJapanese : public SgIoTransport {
 protected:
  SgIoTransportInJapanese() : SgIoTransport("ja_JP.UTF-8") {}
};

TEST_F(SgIoTransportInJapanese, ADeviceThatCannotBeOpenedIsToldInTheMessageLanguage) {
  machine_.AddDrive("/dev/sr0");
  machine_.io.FailOpen("/dev/sr0", EACCES);
  EXPECT_EQ(transport_.Enumerate(), 0);
  EXPECT_EQ(test::ShiftJisToUtf8(transport_.GetErrorText()),
            "ハンドル取得に失敗しました: 13\nPermission denied\n");
}

}  // namespace
}  // namespace fwu
