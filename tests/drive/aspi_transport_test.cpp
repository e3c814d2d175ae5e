// A host talking to emulated drives through the ASPI transport: the records handed to the
// library, the data and sense that come back, the texts of each kind of failure, and what
// happens to requests that the library does not complete in time.
#include <cstring>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/aspi_machine.h"

namespace fwu {
namespace {

using emulator::FaultAction;
using emulator::FaultMatch;
using emulator::FaultRule;
using emulator::SenseCode;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr std::uint64_t kSecond = 1000;

class AspiTransportTest : public ::testing::Test {
 protected:
  AspiTransportTest() : drive(machine.StartWithOneDrive()), transport(*machine.transport) {
    baseline_allocations = machine.aspi.Snapshot().live_allocations;
  }

  void TearDown() override {
    EXPECT_THAT(machine.aspi.Snapshot().misuses, IsEmpty());
    EXPECT_EQ(machine.aspi.Snapshot().open_events, transport.HeldRecordCount());
  }

  sim::SimAspiManager::SentRequest LastSent() const {
    return machine.aspi.Snapshot().sent_requests.back();
  }

  // The whole-second tick of the calendar clock `seconds` after the one at `start_ms`.
  static std::uint64_t CalendarTick(std::uint64_t start_ms, std::uint64_t seconds) {
    return (start_ms / kSecond + seconds) * kSecond;
  }

  test::AspiMachine machine;
  emulator::EmulatedDrive& drive;
  AspiTransport& transport;
  std::size_t baseline_allocations = 0;
};

TEST_F(AspiTransportTest, EachRecordCarriesTheFlagsAndLengthOfItsOperationCode) {
  std::vector<std::uint8_t> buffer(64, 0xAB);
  transport.SetDataBuffer(buffer.data(), 16);

  // Commands without data go out with length 0 and leave the named buffer alone.
  EXPECT_EQ(transport.PreventAllowMediumRemoval(0), RequestStatus::SS_COMP);
  sim::SimAspiManager::SentRequest sent = LastSent();
  EXPECT_EQ(sent.flags, 0x40);
  EXPECT_EQ(sent.buffer_length, 0U);
  EXPECT_THAT(sent.cdb, ElementsAre(0x1E, 0, 0, 0, 0, 0));
  EXPECT_EQ(buffer, std::vector<std::uint8_t>(64, 0xAB));
  EXPECT_EQ(transport.TestUnitReady(), RequestStatus::SS_COMP);
  EXPECT_EQ(LastSent().flags, 0x40);
  EXPECT_EQ(transport.StartStopUnit(1, 0, 0), RequestStatus::SS_COMP);
  EXPECT_EQ(LastSent().flags, 0x40);
  EXPECT_EQ(LastSent().buffer_length, 0U);

  // The buffer stays in force: the next data command still uses it.
  EXPECT_EQ(transport.Inquiry(16), RequestStatus::SS_COMP);
  sent = LastSent();
  EXPECT_EQ(sent.flags, 0x48);
  EXPECT_EQ(sent.buffer_length, 16U);
  EXPECT_EQ(sent.host_adapter, 0);
  EXPECT_EQ(sent.target, test::AspiMachine::kDriveTarget);
  EXPECT_EQ(sent.lun, 0);
  EXPECT_EQ(sent.sense_length, 14);
  EXPECT_TRUE(sent.has_event);
  EXPECT_EQ(std::string(buffer.begin() + 8, buffer.begin() + 16), "QUENTAR ");

  const std::uint8_t page[8] = {0x88, 0, 0, 4, 0, 0x40, 0, 0};
  std::memcpy(buffer.data(), page, sizeof page);
  transport.SetDataBuffer(buffer.data(), 8);
  EXPECT_EQ(transport.SendDiagnostic(0, 8), RequestStatus::SS_COMP);
  EXPECT_EQ(LastSent().flags, 0x50);
  EXPECT_EQ(LastSent().buffer_length, 8U);
  // Data out reached the drive, and the caller's copy is unchanged.
  EXPECT_EQ(drive.Log().Last()->data_digest, emulator::Fnv1a64(page));
  EXPECT_EQ(0, std::memcmp(buffer.data(), page, sizeof page));

  transport.SetDataBuffer(buffer.data(), 16);
  EXPECT_EQ(transport.ReceiveDiagnosticResults(16), RequestStatus::SS_COMP);
  EXPECT_EQ(LastSent().flags, 0x48);
  EXPECT_EQ(buffer[6], 'k');
  EXPECT_EQ(buffer[7], 'm');

  std::vector<std::uint8_t> block(2048);
  transport.SetDataBuffer(block.data(), 2048);
  transport.Read10(0x12345678, 1, 0, 0);
  EXPECT_EQ(LastSent().flags, 0x48);
  EXPECT_THAT(LastSent().cdb, ElementsAre(0x28, 0, 0x12, 0x34, 0x56, 0x78, 0, 0, 0x01, 0));

  // Every attempt gave back its record and its event.
  EXPECT_EQ(machine.aspi.Snapshot().live_allocations, baseline_allocations);
  EXPECT_EQ(machine.aspi.Snapshot().open_events, 0U);
  EXPECT_EQ(machine.aspi.Snapshot().pumped_messages, 0U);  // command waits hand no messages on
}

TEST_F(AspiTransportTest, CheckConditionKeepsFourteenSenseBytesAndNamesTheCodes) {
  drive.Faults().Add(FaultRule{FaultMatch::Command(opcode::kInquiry),
                               FaultAction::CheckCondition(SenseCode{0x05, 0x24, 0x00}, 0xC3)});
  std::uint8_t data[44] = {};
  transport.SetDataBuffer(data, sizeof data);
  EXPECT_EQ(transport.Inquiry(44), RequestStatus::SS_ERR);
  // Sense byte 19 lies beyond the 14 bytes asked for, so the third field shows 00.
  EXPECT_EQ(transport.GetErrorText(), "Inquiry Status : Check Condition. 24-00 (00)");
  const ScsiRequest& request = transport.Request();
  EXPECT_EQ(request.host_status, 0);
  EXPECT_EQ(request.target_status, 0x02);
  EXPECT_EQ(request.SenseKey(), 0x05);
  EXPECT_EQ(request.sense_length, 24U);  // additional length 16, plus 8
  EXPECT_EQ(request.SenseByte19(), 0);
  std::uint8_t asc = 0;
  std::uint8_t ascq = 0;
  transport.GetLastAscAscq(asc, ascq);
  EXPECT_EQ(asc, 0x24);
  EXPECT_EQ(ascq, 0x00);

  // The next attempt starts with clean sense.
  EXPECT_EQ(transport.TestUnitReady(), RequestStatus::SS_COMP);
  EXPECT_EQ(transport.Request().SenseKey(), 0);
  EXPECT_EQ(transport.Request().Asc(), 0);
}

TEST_F(AspiTransportTest, UnitAttentionIsRetriedAtOnceUpToSevenAttempts) {
  drive.Faults().Add(
      FaultRule::UnitAttention(FaultMatch::Command(opcode::kTestUnitReady), emulator::kForever));
  EXPECT_EQ(transport.TestUnitReady(), RequestStatus::SS_ERR);
  EXPECT_EQ(drive.Log().CountOf(opcode::kTestUnitReady), 7U);
  EXPECT_EQ(transport.GetErrorText(), "Test Unit Ready Status : Check Condition. 29-00 (00)");

  drive.Faults().Clear();
  drive.Log().Clear();
  drive.Faults().Add(FaultRule::UnitAttention(FaultMatch::Command(opcode::kTestUnitReady), 2));
  EXPECT_EQ(transport.TestUnitReady(), RequestStatus::SS_COMP);
  EXPECT_EQ(drive.Log().CountOf(opcode::kTestUnitReady), 3U);
}

TEST_F(AspiTransportTest, AdapterAndTargetStatusesAreDescribedByTheMostSpecificLayer) {
  struct Case {
    std::uint8_t srb_status;
    std::uint8_t ha_status;
    const char* text;
  };
  const Case cases[] = {
      {0x04, 0x11, "Send Diagnostic Status : Selection timeout."},
      {0x04, 0x20, "Send Diagnostic Status : Unknown Ha status:20"},
      {0x04, 0x00, "Send Diagnostic Status : Scsi Error."},
      {0x82, 0x00, "Send Diagnostic Status : No Device."},
      {0x02, 0x00, "Send Diagnostic Status : Aborted."},
  };
  std::uint8_t page[8] = {0x88, 0, 0, 4, 0, 0x40, 0, 0};
  transport.SetDataBuffer(page, sizeof page);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    machine.aspi.ForceCompletion(0, test::AspiMachine::kDriveTarget, c.srb_status, c.ha_status);
    EXPECT_EQ(ToByte(transport.SendDiagnostic(0, 8)), c.srb_status);
    EXPECT_EQ(transport.GetErrorText(), c.text);
    EXPECT_EQ(transport.Request().host_status, c.ha_status);
  }
  EXPECT_TRUE(machine.dialogs.events.empty());
  // A target status other than CHECK CONDITION is named by the ASPI table.
  machine.aspi.ClearForcedCompletion(0, test::AspiMachine::kDriveTarget);
  drive.Faults().Add(
      FaultRule{FaultMatch::Command(opcode::kTestUnitReady), FaultAction::Status(0x08)});
  EXPECT_EQ(transport.TestUnitReady(), RequestStatus::SS_ERR);
  EXPECT_EQ(transport.GetErrorText(), "Test Unit Ready Status : Target Busy.");
}

TEST_F(AspiTransportTest, AnUnexpectedCompletionCodeBeepsAndShowsItsTextAtOnce) {
  std::uint8_t page[8] = {0x88, 0, 0, 4, 0, 0x40, 0, 0};
  transport.SetDataBuffer(page, sizeof page);
  machine.aspi.ForceCompletion(0, test::AspiMachine::kDriveTarget, 0xE6, 0);
  EXPECT_EQ(transport.SendDiagnostic(0, 8), RequestStatus::SS_BUFFER_TO_BIG);
  EXPECT_EQ(transport.GetErrorText(), "Send Diagnostic Status : ASPI Error");
  EXPECT_THAT(machine.dialogs.events,
              ElementsAre("beep " + std::to_string(platform::kMbIconExclamation),
                          "box Aspi Error : Buffer size is too big."));
  const test::MessageBoxRecorder::Box& box = machine.dialogs.boxes.back();
  EXPECT_EQ(box.style, platform::kMbOk | platform::kMbIconExclamation);
  EXPECT_EQ(box.caption, "Firmware Update Utility");

  machine.aspi.ForceCompletion(0, test::AspiMachine::kDriveTarget, 0x05, 0);
  EXPECT_EQ(ToByte(transport.SendDiagnostic(0, 8)), 0x05);
  EXPECT_EQ(machine.dialogs.boxes.back().text, "Aspi Error : Timeout.");
}

TEST_F(AspiTransportTest, RequestsBeyondTheStagingAreaOrTheAdapterLimitAreTurnedDownAtOnce) {
  std::vector<std::uint8_t> data(33025);
  transport.SetDataBuffer(data.data(), 33025);
  const std::size_t sent_before = machine.aspi.Snapshot().sent_requests.size();
  const std::uint64_t start = machine.NowMs();
  EXPECT_EQ(transport.SendDiagnostic(0, 33025), RequestStatus::SS_BUFFER_TO_BIG);
  EXPECT_EQ(machine.aspi.Snapshot().sent_requests.size(),
            sent_before);  // never reached the library
  EXPECT_EQ(machine.dialogs.boxes.back().text, "Aspi Error : Buffer size is too big.");

  // The library's own limit: it answers at once and signals nothing, and the transport does not
  // sit out the time-out waiting for a signal that never comes.
  test::AspiMachine small;
  small.aspi.AddHostAdapter(7, 4096);
  small.AddDrive(0, 1, emulator::EmulatedDrive::XtM7731());
  small.Start();
  ASSERT_EQ(small.transport->Enumerate(), 1);
  small.transport->Select(0);
  small.transport->SetDataBuffer(data.data(), 32776);
  const std::uint64_t small_start = small.NowMs();
  EXPECT_EQ(small.transport->SendDiagnostic(0, 32776), RequestStatus::SS_BUFFER_TO_BIG);
  EXPECT_EQ(small.NowMs(), small_start);
  EXPECT_EQ(small.transport->GetErrorText(), "Send Diagnostic Status : ASPI Error");
  EXPECT_EQ(machine.NowMs(), start);
  EXPECT_THAT(small.aspi.Snapshot().misuses, IsEmpty());
  EXPECT_EQ(small.aspi.Snapshot().open_events, 0U);
}

TEST_F(AspiTransportTest, ANeverCompletingRequestEndsAfterTheTimeOutAndIsAborted) {
  drive.Faults().Add(
      FaultRule{FaultMatch::Command(opcode::kSendDiagnostic), FaultAction::NoCompletion()});
  std::uint8_t page[8] = {0x88, 0, 0, 4, 0, 0x40, 0, 0};
  transport.SetDataBuffer(page, sizeof page);
  const std::uint64_t start = machine.NowMs();
  EXPECT_EQ(transport.SendDiagnostic(0, 8), RequestStatus::SS_PENDING);
  EXPECT_EQ(machine.NowMs(), CalendarTick(start, 3600));
  EXPECT_EQ(transport.GetErrorText(), "Send Diagnostic Status : Aspi Timeout Error.");
  EXPECT_EQ(drive.Log().CountOf(opcode::kSendDiagnostic), 1U);  // no sense, so no retry
  // The library took the request back, so nothing is left over.
  EXPECT_EQ(machine.aspi.Snapshot().aborts_received, 1U);
  EXPECT_EQ(machine.aspi.Snapshot().pending_requests, 0U);
  EXPECT_EQ(transport.HeldRecordCount(), 0U);
  EXPECT_EQ(machine.aspi.Snapshot().live_allocations, baseline_allocations);
  EXPECT_TRUE(machine.dialogs.events.empty());
  EXPECT_EQ(transport.TestUnitReady(), RequestStatus::SS_COMP);

  // The same when the manager itself sits on every request.
  machine.aspi.SetRequestsNeverComplete(true);
  EXPECT_EQ(transport.TestUnitReady(), RequestStatus::SS_PENDING);
  EXPECT_EQ(transport.GetErrorText(), "Test Unit Ready Status : Aspi Timeout Error.");
  EXPECT_EQ(machine.aspi.Snapshot().pending_requests, 0U);
}

TEST_F(AspiTransportTest, ALateCompletionNeverLandsInReleasedOrReusedMemory) {
  machine.aspi.SetAbortsHonoured(false);
  machine.aspi.SetCompletionDelay(4000 * kSecond);
  std::vector<std::uint8_t> data(44, 0);
  transport.SetDataBuffer(data.data(), 44);
  const std::uint64_t start = machine.NowMs();
  EXPECT_EQ(transport.Inquiry(44), RequestStatus::SS_PENDING);
  EXPECT_EQ(machine.NowMs(), CalendarTick(start, 3600));
  EXPECT_EQ(transport.GetErrorText(), "Inquiry Status : Aspi Timeout Error.");
  // The library kept the request: its record, event and staging area are set aside.
  EXPECT_EQ(machine.aspi.Snapshot().pending_requests, 1U);
  EXPECT_EQ(transport.HeldRecordCount(), 1U);

  // Commands go on meanwhile, with a fresh record and staging area.
  machine.aspi.SetCompletionDelay(0);
  EXPECT_EQ(transport.Inquiry(44), RequestStatus::SS_COMP);
  EXPECT_EQ(std::string(data.begin() + 16, data.begin() + 32), "DVD-ROM XT-M7731");
  data.assign(44, 0);

  // The late completion lands in the memory set aside, not in the caller's buffer.
  machine.clock.Sleep(1000 * kSecond);
  EXPECT_EQ(machine.aspi.Snapshot().pending_requests, 0U);
  EXPECT_EQ(data, std::vector<std::uint8_t>(44, 0));
  EXPECT_EQ(transport.HeldRecordCount(), 1U);
  // The next attempt lets it go.
  EXPECT_EQ(transport.TestUnitReady(), RequestStatus::SS_COMP);
  EXPECT_EQ(transport.HeldRecordCount(), 0U);
  EXPECT_EQ(machine.aspi.Snapshot().live_allocations, baseline_allocations);
}

// A time-out ends when it is due, whatever the library then does with the abort: it may take
// the request back, refuse the abort, or never answer it. Waiting for the abort as well used to
// make a 10-second identification INQUIRY take up to 16 seconds, and a 3,600-second command up
// to 6 seconds more. What the library still holds is set aside, the abort's record too.
TEST(AspiTimeOut, EndsWhenDueWhateverTheLibraryDoesWithTheAbort) {
  enum class Abort { kHonoured, kRefused, kNeverAnswered };
  struct Case {
    const char* what;
    Abort abort;
    std::size_t held;  // records set aside
  };
  const Case cases[] = {
      {"honoured", Abort::kHonoured, 0},
      {"refused", Abort::kRefused, 1},
      {"never answered", Abort::kNeverAnswered, 2},
  };
  for (const Case& c : cases) {
    for (const std::uint32_t timeout : {10U, 3600U}) {
      SCOPED_TRACE(std::string(c.what) + ", " + std::to_string(timeout) + " s");
      test::AspiMachine machine;
      emulator::EmulatedDrive& drive = machine.StartWithOneDrive();
      machine.aspi.SetAbortsHonoured(c.abort == Abort::kHonoured);
      machine.aspi.SetAbortsAnswered(c.abort != Abort::kNeverAnswered);
      drive.Faults().Add(
          FaultRule{FaultMatch::Command(opcode::kTestUnitReady), FaultAction::NoCompletion()});
      AspiTransport& transport = *machine.transport;
      std::uint8_t cdb[6] = {};
      const std::uint64_t start = machine.NowMs();
      EXPECT_EQ(transport.ExecuteCdb6(cdb, timeout), RequestStatus::SS_PENDING);
      EXPECT_EQ(machine.NowMs(), (start / kSecond + timeout) * kSecond);
      EXPECT_EQ(machine.aspi.Snapshot().aborts_received, 1U);
      EXPECT_EQ(transport.HeldRecordCount(), c.held);
      // The address is free again at once.
      EXPECT_EQ(transport.TestUnitReady(), RequestStatus::SS_COMP);
      EXPECT_THAT(machine.aspi.Snapshot().misuses, IsEmpty());
    }
  }
}

// Reset is offered but not called by the program; when it cannot get its record, or the library
// does not complete it within 3 seconds, it ends without leaving anything the library still uses.
TEST(AspiReset, NoRecordOrNoCompletionEndsTheResetCleanly) {
  test::AspiMachine machine;
  machine.StartWithOneDrive();
  AspiTransport& transport = *machine.transport;
  std::uint8_t host_status = 0xFF;
  std::uint8_t target_status = 0xFF;
  machine.aspi.FailAllocations(1);
  EXPECT_EQ(transport.ResetDevice(host_status, target_status), RequestStatus::RS_NO_MEMORY);
  EXPECT_EQ(machine.aspi.Snapshot().resets_received, 0U);

  machine.aspi.SetResetsAnswered(false);
  const std::uint32_t pumped = machine.aspi.Snapshot().pumped_messages;
  const std::uint64_t start = machine.NowMs();
  EXPECT_EQ(transport.ResetDevice(host_status, target_status), RequestStatus::SS_PENDING);
  EXPECT_EQ(machine.NowMs(), (start / kSecond + 3) * kSecond);
  EXPECT_GT(machine.aspi.Snapshot().pumped_messages, pumped);  // the user interface stays alive
  EXPECT_EQ(transport.HeldRecordCount(), 1U);
  EXPECT_THAT(machine.aspi.Snapshot().misuses, IsEmpty());
}

// With a sink set, the trace shows the records handed to the library, a reset, and the abort
// after a time-out and its completion step.
TEST(AspiTrace, ShowsRecordsResetsAndAborts) {
  test::AspiMachine machine;
  emulator::EmulatedDrive& drive = machine.StartWithOneDrive();
  AspiTransport& transport = *machine.transport;
  struct Collect : TraceSink {
    std::string text;
    void Write(std::string_view line) override { text += line; }
  } sink;
  transport.SetTraceSink(&sink);
  const std::string pointer = "0x[0-9a-f]+";

  std::uint8_t host_status = 0;
  std::uint8_t target_status = 0;
  transport.ResetDevice(host_status, target_status);
  EXPECT_THAT(sink.text, ::testing::MatchesRegex("ASPI RESET! HA=0,ID=1 " + pointer + "\n"));

  sink.text.clear();
  drive.Faults().Add(
      FaultRule{FaultMatch::Command(opcode::kTestUnitReady), FaultAction::NoCompletion()});
  std::uint8_t cdb[6] = {};
  transport.ExecuteCdb6(cdb, 5);
  EXPECT_THAT(sink.text, ::testing::MatchesRegex(
                             "CDB6 = 00 00 00 00 00 00  Target =0,1,0  SRB=" + pointer +
                             " Data=" + pointer + " 0h\nASPI Abort! HA=0 SRB=" + pointer + "\n"));
  sink.text.clear();
  transport.CompleteAbort();
  EXPECT_EQ(sink.text, "ASPI Abort complete\n");
}

TEST(AspiTransportEnd, ALibraryStillHoldingARequestAtTheEndIsNotUnloaded) {
  test::AspiMachine machine;
  machine.StartWithOneDrive();
  machine.aspi.SetAbortsHonoured(false);
  machine.aspi.SetRequestsNeverComplete(true);
  EXPECT_EQ(machine.transport->TestUnitReady(), RequestStatus::SS_PENDING);
  EXPECT_EQ(machine.transport->HeldRecordCount(), 1U);
  // The held record, its event and staging area stay allocated, and so does the library.
  machine.transport.reset();
  EXPECT_EQ(machine.aspi.Snapshot().frees, 0U);
  EXPECT_EQ(machine.aspi.Snapshot().open_events, 1U);
  EXPECT_THAT(machine.aspi.Snapshot().misuses, IsEmpty());
}

TEST_F(AspiTransportTest, ASecondRequestForTheAddressInFlightIsTurnedAwayAtOnce) {
  drive.SetDuration(opcode::kSendDiagnostic, 5 * kSecond);
  std::uint8_t page[8] = {0x88, 0, 0, 4, 0, 0x40, 0, 0};
  transport.SetDataBuffer(page, sizeof page);
  RequestStatus second = RequestStatus::SS_COMP;
  std::uint64_t second_at = 0;
  const platform::ThreadHandle other = machine.clock.CreateSuspended([&] {
    second = transport.TestUnitReady();
    second_at = machine.NowMs();
    return 0U;
  });
  machine.clock.Resume(other);
  const std::uint64_t start = machine.NowMs();
  EXPECT_EQ(transport.SendDiagnostic(0, 8), RequestStatus::SS_COMP);
  EXPECT_EQ(second, RequestStatus::RS_TARGET_BUSY);
  EXPECT_EQ(second_at, start);
  EXPECT_EQ(drive.Log().CountOf(opcode::kTestUnitReady), 0U);
  machine.clock.CloseThread(other);

  // Whatever the outcome of an attempt, the address is free again afterwards.
  EXPECT_EQ(transport.TestUnitReady(), RequestStatus::SS_COMP);
  drive.Faults().Add(
      FaultRule{FaultMatch::Command(opcode::kTestUnitReady), FaultAction::NoCompletion()});
  EXPECT_EQ(transport.TestUnitReady(), RequestStatus::SS_PENDING);
  EXPECT_EQ(transport.TestUnitReady(), RequestStatus::SS_COMP);
}

TEST_F(AspiTransportTest, MissingEventsAndMemoryFailTheAttemptAndLeakNothing) {
  machine.aspi.FailEventCreations(1);
  EXPECT_EQ(transport.TestUnitReady(), RequestStatus::RS_TARGET_BUSY);
  EXPECT_EQ(transport.GetErrorText(), "Test Unit Ready Status : This target is executing now.");
  machine.aspi.FailAllocations(1);
  EXPECT_EQ(transport.TestUnitReady(), RequestStatus::RS_NO_MEMORY);
  EXPECT_EQ(transport.GetErrorText(), "Test Unit Ready Status : Memory Allocation Error.");
  EXPECT_EQ(machine.aspi.Snapshot().open_events, 0U);
  EXPECT_EQ(machine.aspi.Snapshot().live_allocations, baseline_allocations);
  EXPECT_EQ(drive.Log().Size(), 0U);
  EXPECT_EQ(transport.TestUnitReady(), RequestStatus::SS_COMP);
}

TEST_F(AspiTransportTest, RawCdbsTakeTheDefaultTimeOutOnlyForZero) {
  EXPECT_EQ(transport.DefaultTimeoutSeconds(), 3600U);
  drive.Faults().Add(FaultRule{FaultMatch::Command(opcode::kTestUnitReady),
                               FaultAction::NoCompletion(), 1, emulator::kForever});
  std::uint8_t cdb[6] = {0x00, 0xE0, 0, 0, 0, 0};
  std::uint64_t start = machine.NowMs();
  EXPECT_EQ(transport.ExecuteCdb6(cdb, 5), RequestStatus::SS_PENDING);
  EXPECT_EQ(machine.NowMs(), CalendarTick(start, 5));
  EXPECT_EQ(cdb[1], 0x00);  // LUN bits
  start = machine.NowMs();
  EXPECT_EQ(transport.ExecuteCdb6(cdb, 0), RequestStatus::SS_PENDING);
  EXPECT_EQ(machine.NowMs(), CalendarTick(start, 3600));
}

TEST_F(AspiTransportTest, ResetAndAbortAreOfferedWithTheirOwnWaits) {
  std::uint8_t host_status = 0xFF;
  std::uint8_t target_status = 0xFF;
  EXPECT_EQ(transport.ResetDevice(host_status, target_status), RequestStatus::SS_COMP);
  EXPECT_EQ(host_status, 0);
  EXPECT_EQ(target_status, 0);
  EXPECT_EQ(machine.aspi.Snapshot().resets_received, 1U);

  // Nothing in flight: nothing to abort, and the library is not asked.
  EXPECT_EQ(transport.AbortRequest(), RequestStatus::SS_COMP);
  EXPECT_EQ(machine.aspi.Snapshot().aborts_received, 0U);

  // From another thread while a request hangs: the request comes back aborted.
  drive.Faults().Add(
      FaultRule{FaultMatch::Command(opcode::kTestUnitReady), FaultAction::NoCompletion()});
  RequestStatus abort_result = RequestStatus::SS_PENDING;
  const platform::ThreadHandle other = machine.clock.CreateSuspended([&] {
    machine.clock.Sleep(30 * kSecond);
    abort_result = transport.AbortRequest();
    return 0U;
  });
  machine.clock.Resume(other);
  const std::uint64_t start = machine.NowMs();
  EXPECT_EQ(transport.TestUnitReady(), RequestStatus::SS_ABORTED);
  EXPECT_EQ(machine.NowMs(), start + 30 * kSecond);
  EXPECT_EQ(abort_result, RequestStatus::SS_COMP);
  EXPECT_EQ(transport.GetErrorText(), "Test Unit Ready Status : Aborted.");
  machine.clock.CloseThread(other);

  // The settling wait after an abort keeps the user interface alive for three seconds.
  const std::uint32_t pumped = machine.aspi.Snapshot().pumped_messages;
  const std::uint64_t settle_start = machine.NowMs();
  EXPECT_EQ(transport.CompleteAbort(), RequestStatus::SS_COMP);
  EXPECT_EQ(machine.NowMs(), CalendarTick(settle_start, 3));
  EXPECT_GT(machine.aspi.Snapshot().pumped_messages, pumped);
}

}  // namespace
}  // namespace fwu
