// The one object every drive command goes through, over both transports of a simulated PC:
// the mode decides which transport serves, and each keeps its own drive list and request.
#include "drive/drive_transport.h"

#include <memory>

#include <gtest/gtest.h>

#include "drive/pass_through_transport.h"
#include "platform/sim/sim_pass_through_driver.h"
#include "support/aspi_machine.h"

namespace fwu {
namespace {

using emulator::EmulatedDrive;
using emulator::FaultAction;
using emulator::FaultMatch;
using emulator::FaultRule;

// One PC with an ASPI drive at 0:1 and a pass-through drive at E:, on one clock. Real systems
// only ever have one of the two working; the forwarding does not care.
class DriveTransportTest : public ::testing::Test {
 protected:
  DriveTransportTest() {
    machine.aspi.AddHostAdapter(7);
    aspi_drive = &machine.AddDrive(0, 1, EmulatedDrive::XtM7731("1029", 32));
    pass_through_drive = std::make_unique<EmulatedDrive>(EmulatedDrive::XtM7731("1033", 31));
    pass_through_drive->SetTimeSource([this] { return machine.NowMs(); });
    driver.AttachDrive('E', *pass_through_drive);
    machine.Start();
  }

  test::AspiMachine machine;
  sim::SimPassThroughDriver driver{machine.clock};
  PassThroughTransport pass_through{driver, machine.locale};
  EmulatedDrive* aspi_drive = nullptr;
  std::unique_ptr<EmulatedDrive> pass_through_drive;
};

TEST_F(DriveTransportTest, TheModeSelectsTheTransportAndEachKeepsItsOwnList) {
  DriveTransport drives(*machine.transport, pass_through);
  EXPECT_EQ(drives.TransportMode(), DriveTransport::kModeAspi);
  ASSERT_EQ(drives.Enumerate(), 1);
  EXPECT_EQ(drives.GetEntry(0), "0:1: QUENTAR DVD-ROM XT-M77311029");
  drives.Select(0);
  aspi_drive->Log().Clear();
  std::uint8_t data[44] = {};
  drives.SetDataBuffer(data, sizeof data);
  EXPECT_EQ(drives.Inquiry(44), RequestStatus::SS_COMP);
  EXPECT_EQ(aspi_drive->Log().CountOf(opcode::kInquiry), 1U);
  EXPECT_EQ(pass_through_drive->Log().Size(), 0U);

  for (const std::uint8_t mode : {1, 5}) {
    drives.SetTransportMode(mode);
    ASSERT_EQ(drives.Enumerate(), 1);
    EXPECT_EQ(drives.GetEntry(0), "E:   QUENTAR DVD-ROM XT-M77311033");
    drives.Select(0);
    pass_through_drive->Log().Clear();
    drives.SetDataBuffer(data, sizeof data);
    EXPECT_EQ(drives.Inquiry(44), RequestStatus::SS_COMP);
    EXPECT_EQ(pass_through_drive->Log().CountOf(opcode::kInquiry), 1U);
  }
  EXPECT_EQ(aspi_drive->Log().CountOf(opcode::kInquiry), 1U);

  // Failures are described by the transport that served: ASPI names the command,
  // pass-through gives the bare codes.
  pass_through_drive->Faults().Add(
      FaultRule::UnitAttention(FaultMatch::Command(opcode::kTestUnitReady), 7));
  aspi_drive->Faults().Add(
      FaultRule::UnitAttention(FaultMatch::Command(opcode::kTestUnitReady), 7));
  EXPECT_EQ(drives.TestUnitReady(), RequestStatus::SS_ERR);
  EXPECT_EQ(drives.GetErrorText(), " 29-00 (00)");
  drives.SetTransportMode(DriveTransport::kModeAspi);
  EXPECT_EQ(drives.GetEntry(0), "0:1: QUENTAR DVD-ROM XT-M77311029");
  EXPECT_EQ(drives.TestUnitReady(), RequestStatus::SS_ERR);
  EXPECT_EQ(drives.GetErrorText(), "Test Unit Ready Status : Check Condition. 29-00 (00)");
  std::uint8_t asc = 0;
  std::uint8_t ascq = 0;
  drives.GetLastAscAscq(asc, ascq);
  EXPECT_EQ(asc, 0x29);
}

TEST_F(DriveTransportTest, ARawCdbWithTimeOutZeroTakesEachTransportsDefault) {
  DriveTransport drives(*machine.transport, pass_through);
  const auto never_completes = FaultRule{FaultMatch::Command(opcode::kTestUnitReady),
                                         FaultAction::NoCompletion(), 1, emulator::kForever};
  aspi_drive->Faults().Add(never_completes);
  pass_through_drive->Faults().Add(never_completes);

  ASSERT_EQ(drives.Enumerate(), 1);
  drives.Select(0);
  std::uint8_t cdb[6] = {};
  std::uint64_t start = machine.NowMs();
  EXPECT_EQ(drives.ExecuteCdb6(cdb, 0), RequestStatus::SS_PENDING);
  EXPECT_EQ(machine.NowMs(), (start / 1000 + 3600) * 1000);
  start = machine.NowMs();
  EXPECT_EQ(drives.ExecuteCdb6(cdb, 7), RequestStatus::SS_PENDING);
  EXPECT_EQ(machine.NowMs(), start + 7000);

  // Pass-through passes 7200 on; its driver ends a request after its own 200 seconds.
  drives.SetTransportMode(DriveTransport::kModePassThrough);
  EXPECT_EQ(drives.Selected().DefaultTimeoutSeconds(), 7200U);
  ASSERT_EQ(drives.Enumerate(), 1);
  drives.Select(0);
  start = machine.NowMs();
  EXPECT_EQ(drives.ExecuteCdb6(cdb, 0), RequestStatus::SS_ERR);
  EXPECT_EQ(machine.NowMs(), start + 200'000);
}

}  // namespace
}  // namespace fwu
