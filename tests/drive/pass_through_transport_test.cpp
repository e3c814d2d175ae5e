// A host talking to emulated drives through the pass-through transport: the bytes on the wire,
// the retry rule, the data phase, the size limits, and the texts of each kind of failure.
#include <cstring>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "drive/pass_through_record.h"
#include "support/pass_through_machine.h"
#include "support/shift_jis.h"

namespace fwu {
namespace {

using emulator::FaultAction;
using emulator::FaultMatch;
using emulator::FaultRule;
using emulator::SenseCode;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<std::uint8_t> bytes;
  for (int value : values) {
    bytes.push_back(static_cast<std::uint8_t>(value));
  }
  return bytes;
}

class PassThroughTransportTest : public ::testing::Test {
 protected:
  PassThroughTransportTest() : drive(machine.AddDrive('E', emulator::EmulatedDrive::XtM7731())) {
    EXPECT_EQ(machine.transport.Enumerate(), 1);
    machine.transport.Select(0);
    drive.Log().Clear();
  }

  std::vector<std::uint8_t> LastCdb() const { return drive.Log().Last().value().cdb; }

  test::PassThroughMachine machine;
  emulator::EmulatedDrive& drive;
  PassThroughTransport& transport = machine.transport;
};

TEST_F(PassThroughTransportTest, EveryCommandGoesOutWithItsExactBytes) {
  std::vector<std::uint8_t> data(32776);
  transport.SetDataBuffer(data.data(), 2048);
  transport.Read10(0x12345678, 1, 0, 0);
  EXPECT_THAT(LastCdb(), ElementsAre(0x28, 0, 0x12, 0x34, 0x56, 0x78, 0, 0, 0x01, 0));
  transport.Read10(16, 1, 1, 1);
  EXPECT_THAT(LastCdb(), ElementsAre(0x28, 0x09, 0, 0, 0, 16, 0, 0, 0x01, 0));

  transport.SetDataBuffer(data.data(), 32776);
  transport.SendDiagnostic(0, 32776);
  EXPECT_THAT(LastCdb(), ElementsAre(0x1D, 0, 0, 0x80, 0x08, 0));
  transport.SendDiagnostic(1, 8);
  EXPECT_THAT(LastCdb(), ElementsAre(0x1D, 0x04, 0, 0, 0x08, 0));

  transport.SetDataBuffer(data.data(), 44);
  transport.Inquiry(44);
  EXPECT_THAT(LastCdb(), ElementsAre(0x12, 0, 0, 0, 0x2C, 0));
  transport.SetDataBuffer(data.data(), 16);
  transport.ReceiveDiagnosticResults(16);
  EXPECT_THAT(LastCdb(), ElementsAre(0x1C, 0, 0, 0, 0x10, 0));

  transport.PreventAllowMediumRemoval(0);
  EXPECT_THAT(LastCdb(), ElementsAre(0x1E, 0, 0, 0, 0, 0));
  transport.StartStopUnit(3, 3, 3);  // only bit 0 of each argument counts
  EXPECT_THAT(LastCdb(), ElementsAre(0x1B, 0x01, 0, 0, 0x03, 0));
  transport.StartStopUnit(0, 0, 1);  // eject
  EXPECT_THAT(LastCdb(), ElementsAre(0x1B, 0, 0, 0, 0x02, 0));
  transport.TestUnitReady();
  EXPECT_THAT(LastCdb(), ElementsAre(0, 0, 0, 0, 0, 0));
}

TEST_F(PassThroughTransportTest, RawCdbsGetLunBitsClearedAndTakeTheDefaultTimeOut) {
  std::uint8_t cdb[6] = {0x00, 0xE0, 0, 0, 0, 0};
  EXPECT_EQ(transport.ExecuteCdb6(cdb, 0), RequestStatus::SS_COMP);
  EXPECT_EQ(cdb[1], 0x00);
  EXPECT_THAT(LastCdb(), ElementsAre(0, 0, 0, 0, 0, 0));
  EXPECT_EQ(transport.DefaultTimeoutSeconds(), 7200U);

  std::uint8_t unknown[12] = {0xA8, 0x1F};
  EXPECT_EQ(transport.ExecuteCdb12(unknown, 0), RequestStatus::SS_ERR);
  EXPECT_EQ(LastCdb().size(), 12U);
  EXPECT_EQ(LastCdb()[1], 0x1F);
}

TEST_F(PassThroughTransportTest, UnitAttentionIsRetriedAtOnceUpToSevenAttempts) {
  drive.Faults().Add(
      FaultRule::UnitAttention(FaultMatch::Command(opcode::kTestUnitReady), emulator::kForever));
  const std::uint32_t before = machine.clock.TickCount();
  EXPECT_EQ(transport.TestUnitReady(), RequestStatus::SS_ERR);
  EXPECT_EQ(drive.Log().CountOf(opcode::kTestUnitReady), 7U);
  EXPECT_EQ(machine.driver.OpenCount('E'),
            2U + 7U);  // enumeration's two opens, then one per attempt
  EXPECT_EQ(machine.driver.OpenHandles(), 0U);
  EXPECT_EQ(transport.Request().SenseKey(), 6);
  EXPECT_EQ(transport.GetErrorText(), " 29-00 (00)");
  // No delay between attempts beyond the drive's own time for each.
  EXPECT_LE(machine.clock.TickCount() - before, 7U * 1U);
}

TEST_F(PassThroughTransportTest, AnyOtherSenseKeyEndsTheCommandAfterOneAttempt) {
  drive.Faults().Add(FaultRule{FaultMatch::Command(opcode::kTestUnitReady),
                               FaultAction::CheckCondition(SenseCode{0x02, 0x04, 0x01}, 0xC3), 1,
                               emulator::kForever});
  EXPECT_EQ(transport.TestUnitReady(), RequestStatus::SS_ERR);
  EXPECT_EQ(drive.Log().CountOf(opcode::kTestUnitReady), 1U);
  EXPECT_EQ(transport.GetErrorText(), " 04-01 (C3)");
  const CheckConditionCodes codes = transport.Request().last_check_condition;
  EXPECT_EQ(codes.asc, 0x04);
  EXPECT_EQ(codes.ascq, 0x01);
  EXPECT_EQ(codes.byte19, 0xC3);
  EXPECT_EQ(codes.sense_key, 0x02);
  std::uint8_t asc = 0;
  std::uint8_t ascq = 0;
  transport.GetLastAscAscq(asc, ascq);
  EXPECT_EQ(asc, 0x04);
  EXPECT_EQ(ascq, 0x01);
}

TEST_F(PassThroughTransportTest, SuccessOnTheThirdAttemptLeavesThatAttemptsCleanSense) {
  drive.Faults().Add(FaultRule::UnitAttention(FaultMatch::Command(opcode::kTestUnitReady), 2));
  EXPECT_EQ(transport.TestUnitReady(), RequestStatus::SS_COMP);
  EXPECT_EQ(drive.Log().CountOf(opcode::kTestUnitReady), 3U);
  const ScsiRequest& request = transport.Request();
  EXPECT_EQ(request.completion, RequestStatus::SS_COMP);
  EXPECT_EQ(request.target_status, 0);
  for (std::uint8_t byte : request.sense) {
    EXPECT_EQ(byte, 0);
  }
}

TEST_F(PassThroughTransportTest, CommandsWithoutDataLeaveTheNamedBufferAloneAndKeepItInForce) {
  std::vector<std::uint8_t> buffer(16, 0xAB);
  transport.SetDataBuffer(buffer.data(), 16);
  EXPECT_EQ(transport.PreventAllowMediumRemoval(0), RequestStatus::SS_COMP);
  EXPECT_EQ(buffer, std::vector<std::uint8_t>(16, 0xAB));
  const emulator::CommandRecord prevent = drive.Log().Last().value();
  EXPECT_EQ(prevent.direction, DataDirection::kNone);
  EXPECT_EQ(prevent.data_length, 0U);
  EXPECT_EQ(transport.Request().direction, DataDirection::kNone);

  EXPECT_EQ(transport.Inquiry(16), RequestStatus::SS_COMP);
  EXPECT_EQ(transport.Request().direction, DataDirection::kIn);
  EXPECT_EQ(std::string(buffer.begin() + 8, buffer.end()), "QUENTAR ");
}

TEST_F(PassThroughTransportTest, DataOutReachesTheDriveAndComesBackUnchanged) {
  std::vector<std::uint8_t> page = Bytes({0x88, 0, 0, 4, 0, 0x40, 0, 0});
  transport.SetDataBuffer(page.data(), 8);
  EXPECT_EQ(transport.SendDiagnostic(0, 8), RequestStatus::SS_COMP);
  EXPECT_EQ(drive.Log().Last()->data_digest, emulator::Fnv1a64(page));
  EXPECT_THAT(page, ElementsAre(0x88, 0, 0, 4, 0, 0x40, 0, 0));

  std::vector<std::uint8_t> result(16);
  transport.SetDataBuffer(result.data(), 16);
  EXPECT_EQ(transport.ReceiveDiagnosticResults(16), RequestStatus::SS_COMP);
  EXPECT_EQ(result[6], 'k');
  EXPECT_EQ(result[7], 'm');
  EXPECT_EQ(result[15], 32);
}

TEST_F(PassThroughTransportTest, FailingStatusesAreDescribedByTheDriveSetOfTexts) {
  struct Case {
    std::uint8_t status;
    const char* text;
  };
  for (const Case& c :
       {Case{0x08, "Target Busy."}, Case{0x28, "Queue Full."}, Case{0x18, "Reservation Conflict."},
        Case{0x30, "Unknown Target status:30"}}) {
    drive.Faults().Clear();
    drive.Faults().Add(
        FaultRule{FaultMatch::Command(opcode::kTestUnitReady), FaultAction::Status(c.status)});
    EXPECT_EQ(transport.TestUnitReady(), RequestStatus::SS_ERR) << c.text;
    EXPECT_EQ(transport.GetErrorText(), c.text);
    EXPECT_EQ(transport.Request().target_status, c.status);
  }

  drive.Faults().Clear();
  drive.Faults().Add(FaultRule{FaultMatch::Command(opcode::kInquiry),
                               FaultAction::CheckCondition(SenseCode{0x05, 0x24, 0x00}, 0x7A)});
  std::vector<std::uint8_t> data(44);
  transport.SetDataBuffer(data.data(), 44);
  EXPECT_EQ(transport.Inquiry(44), RequestStatus::SS_ERR);
  EXPECT_EQ(transport.Request().target_status, 0x02);
  EXPECT_EQ(transport.Request().sense_length, 24U);
  EXPECT_EQ(transport.GetErrorText(), " 24-00 (7A)");
}

TEST_F(PassThroughTransportTest,
       RequestsAboveTheDrivesTransferLimitAreRefusedWithoutBlockingTheSlot) {
  test::PassThroughMachine small;
  emulator::EmulatedDrive& limited = small.AddDrive('F', emulator::EmulatedDrive::XtM7731(), 32768);
  ASSERT_EQ(small.transport.Enumerate(), 1);
  EXPECT_EQ(small.transport.TransferLimit(0), 32768U);
  small.transport.Select(0);
  limited.Log().Clear();

  std::vector<std::uint8_t> data(32769);
  small.transport.SetDataBuffer(data.data(), 32768);
  EXPECT_EQ(small.transport.Read10(0, 16, 0, 0), RequestStatus::SS_COMP);  // exactly the limit
  small.transport.SetDataBuffer(data.data(), 32769);
  EXPECT_EQ(small.transport.Read10(0, 16, 0, 0), RequestStatus::SS_BUFFER_TO_BIG);
  EXPECT_EQ(small.transport.GetErrorText(), "Buffer Too Big");
  EXPECT_EQ(limited.Log().Size(), 1U);  // the refused request never reached the drive
  small.transport.SetDataBuffer(data.data(), 44);
  EXPECT_EQ(small.transport.Inquiry(44), RequestStatus::SS_COMP);  // not "Inuse"
}

TEST_F(PassThroughTransportTest, NoRequestOverrunsTheStagingAreaWhateverTheDriveAccepts) {
  test::PassThroughMachine big;
  big.AddDrive('F', emulator::EmulatedDrive::XtM7731(), 262144);
  ASSERT_EQ(big.transport.Enumerate(), 1);
  EXPECT_EQ(big.transport.TransferLimit(0), 131072U);  // the driver's answer is capped
  big.transport.Select(0);
  std::vector<std::uint8_t> data(kStagingAreaBytes + 1);
  data[0] = 0x88;
  big.transport.SetDataBuffer(data.data(), kStagingAreaBytes + 1);
  EXPECT_EQ(big.transport.SendDiagnostic(0, 8), RequestStatus::SS_BUFFER_TO_BIG);
  EXPECT_EQ(big.transport.GetErrorText(), "Buffer Too Big");
  big.transport.SetDataBuffer(data.data(), kStagingAreaBytes);
  EXPECT_NE(big.transport.SendDiagnostic(0, 8), RequestStatus::SS_BUFFER_TO_BIG);
}

TEST(PassThroughTransport, ADriveThatCouldNotBeOpenedForItsLimitTakesOnlyCommandsWithoutData) {
  test::PassThroughMachine machine;
  emulator::EmulatedDrive& drive = machine.AddDrive('E', emulator::EmulatedDrive::XtM7731());
  // The device opens for enumeration's INQUIRY but not for the capability query right after.
  int opens = 0;
  struct FlakyOpen : platform::PassThroughDriver {
    platform::PassThroughDriver& real;
    int& opens;
    FlakyOpen(platform::PassThroughDriver& r, int& o) : real(r), opens(o) {}
    std::uint32_t DriveTypeOf(const char* root) override { return real.DriveTypeOf(root); }
    platform::DeviceHandle OpenDevice(const char* name) override {
      if (++opens == 2) {
        failed = true;
        return platform::kInvalidDevice;
      }
      failed = false;
      return real.OpenDevice(name);
    }
    bool SendIoControl(platform::DeviceHandle d, std::uint32_t c, void* i, std::uint32_t is,
                       void* o, std::uint32_t os, std::uint32_t* r) override {
      return real.SendIoControl(d, c, i, is, o, os, r);
    }
    void CloseDevice(platform::DeviceHandle d) override { real.CloseDevice(d); }
    std::uint32_t LastError() override {
      return failed ? platform::kErrorAccessDenied : real.LastError();
    }
    std::uint32_t SystemMessageText(std::uint32_t e, char* b, std::uint32_t s) override {
      return real.SystemMessageText(e, b, s);
    }
    bool failed = false;
  } flaky(machine.driver, opens);
  PassThroughTransport transport(flaky, machine.locale);

  ASSERT_EQ(transport.Enumerate(), 1);
  EXPECT_EQ(transport.TransferLimit(0), 0U);
  EXPECT_EQ(transport.GetErrorText(), "Get Handle Error: 5\nAccess is denied.\r\n\n");
  transport.Select(0);
  drive.Log().Clear();
  std::vector<std::uint8_t> data(44);
  transport.SetDataBuffer(data.data(), 44);
  EXPECT_EQ(transport.Inquiry(44), RequestStatus::SS_BUFFER_TO_BIG);
  EXPECT_EQ(transport.PreventAllowMediumRemoval(0), RequestStatus::SS_COMP);
  EXPECT_THAT(drive.Log().OperationCodes(), ElementsAre(opcode::kPreventAllowMediumRemoval));
}

TEST_F(PassThroughTransportTest, EachAttemptOpensAndClosesTheDeviceOnce) {
  drive.Faults().Add(FaultRule::UnitAttention(FaultMatch::Command(opcode::kTestUnitReady), 3));
  const std::uint32_t before = machine.driver.OpenCount('E');
  EXPECT_EQ(transport.TestUnitReady(), RequestStatus::SS_COMP);
  EXPECT_EQ(machine.driver.OpenCount('E') - before, 4U);
  EXPECT_EQ(machine.driver.OpenHandles(), 0U);
}

TEST_F(PassThroughTransportTest, AFailedOpenIsReportedWithTheSystemsTextInTheMessageLanguage) {
  machine.driver.FailOpen('E', platform::kErrorAccessDenied);
  EXPECT_EQ(transport.TestUnitReady(), RequestStatus::SS_ERR);
  EXPECT_EQ(transport.GetErrorText(), "Get Handle Error: 5\nAccess is denied.\r\n\n");
  EXPECT_EQ(drive.Log().Size(), 0U);

  machine.driver.FailOpen('E', 4321);  // a code the system has no text for
  EXPECT_EQ(transport.TestUnitReady(), RequestStatus::SS_ERR);
  EXPECT_EQ(transport.GetErrorText(),
            "Get Handle Error: 4321\nFormat message failed.  Error: 317\n");

  machine.locale.SetAnsiCodePage(932);
  machine.driver.FailOpen('E', platform::kErrorAccessDenied);
  EXPECT_EQ(transport.TestUnitReady(), RequestStatus::SS_ERR);
  EXPECT_EQ(test::ShiftJisToUtf8(transport.GetErrorText()),
            "ハンドル取得に失敗しました: 5\nAccess is denied.\r\n\n");
  // A failed open never leaves the slot busy.
  machine.driver.FailOpen('E', 0);
  EXPECT_EQ(transport.TestUnitReady(), RequestStatus::SS_COMP);
}

TEST_F(PassThroughTransportTest, AFailedRequestStillHandsTheCallersDataBack) {
  machine.driver.FailPassThrough('E', 1117);
  std::vector<std::uint8_t> page = Bytes({0x88, 0, 0, 4, 0, 0x40, 0, 0});
  transport.SetDataBuffer(page.data(), 8);
  EXPECT_EQ(transport.SendDiagnostic(0, 8), RequestStatus::SS_ERR);
  EXPECT_EQ(transport.GetErrorText(),
            "Error opening . Error: 1117\n"
            "The request could not be performed because of an I/O device error.\r\n\n");
  EXPECT_THAT(page, ElementsAre(0x88, 0, 0, 4, 0, 0x40, 0, 0));
  EXPECT_EQ(machine.driver.OpenHandles(), 0U);
}

TEST_F(PassThroughTransportTest, ADriveThatNeverAnswersCostsTheDriversTimeOut) {
  drive.Faults().Add(
      FaultRule{FaultMatch::Command(opcode::kTestUnitReady), FaultAction::NoCompletion()});
  const std::uint64_t before = machine.clock.NowMilliseconds();
  EXPECT_EQ(transport.TestUnitReady(), RequestStatus::SS_ERR);
  EXPECT_EQ(machine.clock.NowMilliseconds() - before, 200'000U);
  EXPECT_EQ(transport.GetErrorText(),
            "Error opening . Error: 121\nThe semaphore timeout period has expired.\r\n\n");
}

// Captures the request block the transport hands to the driver.
class RecordingDriver final : public platform::PassThroughDriver {
 public:
  explicit RecordingDriver(platform::PassThroughDriver& real) : real_(real) {}
  std::uint32_t DriveTypeOf(const char* root) override { return real_.DriveTypeOf(root); }
  platform::DeviceHandle OpenDevice(const char* name) override {
    names.emplace_back(name);
    return real_.OpenDevice(name);
  }
  bool SendIoControl(platform::DeviceHandle device, std::uint32_t code, void* input,
                     std::uint32_t input_size, void* output, std::uint32_t output_size,
                     std::uint32_t* returned) override {
    if (code == platform::kIoctlScsiPassThroughDirect) {
      std::memcpy(&record, input, sizeof record);
      block = static_cast<std::uint8_t*>(input);
      block_size = input_size;
      same_buffer = input == output && input_size == output_size;
    }
    return real_.SendIoControl(device, code, input, input_size, output, output_size, returned);
  }
  void CloseDevice(platform::DeviceHandle device) override { real_.CloseDevice(device); }
  std::uint32_t LastError() override { return real_.LastError(); }
  std::uint32_t SystemMessageText(std::uint32_t e, char* b, std::uint32_t s) override {
    return real_.SystemMessageText(e, b, s);
  }

  ScsiPassThroughDirect record{};
  std::uint8_t* block = nullptr;
  std::uint32_t block_size = 0;
  bool same_buffer = false;
  std::vector<std::string> names;

 private:
  platform::PassThroughDriver& real_;
};

TEST(PassThroughTransport, TheRequestBlockHasTheDriversLayout) {
  test::PassThroughMachine machine;
  machine.AddDrive('E', emulator::EmulatedDrive::XtM7731());
  RecordingDriver recorder(machine.driver);
  PassThroughTransport transport(recorder, machine.locale);
  ASSERT_EQ(transport.Enumerate(), 1);
  transport.Select(0);

  std::vector<std::uint8_t> data(64, 0x11);
  transport.SetDataBuffer(data.data(), 8);
  transport.SendDiagnostic(0, 8);
  EXPECT_EQ(recorder.record.length, sizeof(ScsiPassThroughDirect));
  EXPECT_EQ(recorder.record.path_id, 0);
  EXPECT_EQ(recorder.record.target_id, 1);
  EXPECT_EQ(recorder.record.lun, 0);
  EXPECT_EQ(recorder.record.cdb_length, 6);
  EXPECT_EQ(recorder.record.sense_info_length, 24);
  EXPECT_EQ(recorder.record.data_in, kScsiIoctlDataOut);
  EXPECT_EQ(recorder.record.data_transfer_length, 8U);
  EXPECT_EQ(recorder.record.time_out_value, 200U);
  EXPECT_EQ(recorder.record.sense_info_offset, kPassThroughSenseOffset);
  EXPECT_EQ(recorder.record.data_buffer, recorder.block + kPassThroughStagingOffset);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(recorder.record.data_buffer) % 16, 0U);
  EXPECT_EQ(recorder.block_size, kPassThroughBlockBytes);
  EXPECT_TRUE(recorder.same_buffer);
  EXPECT_EQ(recorder.names.back(), "\\\\.\\E:");

  transport.SetDataBuffer(data.data(), 44);
  transport.Inquiry(44);
  EXPECT_EQ(recorder.record.data_in, kScsiIoctlDataIn);
  EXPECT_EQ(recorder.record.data_transfer_length, 44U);
  transport.StartStopUnit(0, 0, 1);
  EXPECT_EQ(recorder.record.data_in, kScsiIoctlDataUnspecified);
  EXPECT_EQ(recorder.record.data_transfer_length, 0U);
  EXPECT_THAT(std::vector<std::uint8_t>(recorder.record.cdb, recorder.record.cdb + 16),
              ElementsAreArray(Bytes({0x1B, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})));
}

TEST(PassThroughTransport, TraceShowsEachCdbAndEachRetryWhenASinkIsSet) {
  test::PassThroughMachine machine;
  emulator::EmulatedDrive& drive = machine.AddDrive('E', emulator::EmulatedDrive::XtM7731());
  ASSERT_EQ(machine.transport.Enumerate(), 1);
  machine.transport.Select(0);
  struct Collect : TraceSink {
    std::string text;
    void Write(std::string_view line) override { text += line; }
  } sink;
  std::vector<std::uint8_t> block(2048);
  machine.transport.SetDataBuffer(block.data(), 2048);
  machine.transport.SetTraceSink(&sink);
  drive.Faults().Add(FaultRule::UnitAttention(FaultMatch::Command(opcode::kTestUnitReady), 1));
  machine.transport.TestUnitReady();
  EXPECT_EQ(sink.text, "CDB6 = 00 00 00 00 00 00  \r\n    Status  29-00 (00) Retry! ");

  sink.text.clear();
  machine.transport.Read10(0x12345678, 1, 0, 0);
  EXPECT_EQ(sink.text, "CDB10 = 28 00 12 34 56 78 00 00 01 00  ");
  sink.text.clear();
  std::uint8_t cdb12[12] = {0xA8, 0, 0, 0, 0, 0x10, 0, 0, 0, 1, 0, 0};
  machine.transport.ExecuteCdb12(cdb12, 0);
  EXPECT_EQ(sink.text, "CDB12=a8 00 00 00 00 10 00 00 00 01 00 00  ");

  sink.text.clear();
  machine.transport.SetTraceSink(nullptr);
  machine.transport.TestUnitReady();
  EXPECT_EQ(sink.text, "");
}

// Each slot takes one request at a time: a second one while the first is in flight, as from
// another thread, is turned away at once and never reaches the drive.
TEST_F(PassThroughTransportTest, ASecondRequestForTheSlotInFlightIsTurnedAwayAsInuse) {
  drive.SetDuration(opcode::kSendDiagnostic, 5000);
  std::uint8_t page[8] = {0x88, 0, 0, 4, 0, 0x40, 0, 0};
  transport.SetDataBuffer(page, sizeof page);
  RequestStatus second = RequestStatus::SS_COMP;
  std::string second_text;
  const platform::ThreadHandle other = machine.clock.CreateSuspended([&] {
    second = transport.TestUnitReady();
    second_text = transport.GetErrorText();
    return 0U;
  });
  machine.clock.Resume(other);
  EXPECT_EQ(transport.SendDiagnostic(0, 8), RequestStatus::SS_COMP);
  machine.clock.CloseThread(other);
  EXPECT_EQ(second, RequestStatus::RS_TARGET_BUSY);
  EXPECT_EQ(second_text, "Inuse");
  EXPECT_EQ(drive.Log().CountOf(opcode::kTestUnitReady), 0U);
  EXPECT_EQ(transport.TestUnitReady(), RequestStatus::SS_COMP);
}

}  // namespace
}  // namespace fwu
