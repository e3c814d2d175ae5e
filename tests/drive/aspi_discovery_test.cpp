// Finding the drives on a Windows 9x PC: the walk over host adapters and targets, what each
// device is asked, which answers make an entry, and how an entry selects its address.
#include <set>
#include <utility>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/aspi_machine.h"

namespace fwu {
namespace {

using emulator::EmulatedDrive;
using emulator::FaultAction;
using emulator::FaultMatch;
using emulator::FaultRule;
using emulator::SenseCode;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// (adapter, target) of every request, in order.
std::vector<std::pair<int, int>> Addresses(const test::AspiMachine& machine) {
  std::vector<std::pair<int, int>> addresses;
  for (const auto& sent : machine.aspi.Snapshot().sent_requests) {
    addresses.emplace_back(sent.host_adapter, sent.target);
  }
  return addresses;
}

std::set<int> TargetsAsked(const test::AspiMachine& machine, int host_adapter) {
  std::set<int> targets;
  for (const auto& [adapter, target] : Addresses(machine)) {
    if (adapter == host_adapter) {
      targets.insert(target);
    }
  }
  return targets;
}

TEST(AspiDiscovery, ListsEveryTargetDriveByAdapterAndTarget) {
  test::AspiMachine machine;
  machine.aspi.AddHostAdapter(7);
  machine.aspi.AddHostAdapter(7);
  // Bytes past the revision are no part of the identity text.
  emulator::DriveConfig with_more_data = EmulatedDrive::XtM7731("1029", 32);
  with_more_data.identity.vendor_specific = "2026/01/07 REV B";
  machine.AddDrive(0, 1, with_more_data);
  EmulatedDrive& other_model = machine.AddDrive(0, 2, EmulatedDrive::OtherModel());
  EmulatedDrive& disk = machine.AddDrive(0, 3, EmulatedDrive::DirectAccessWithSameProduct());
  machine.AddDrive(0, 5, EmulatedDrive::OtherVendor());
  // A product that differs in its first, a middle or its last character is another product.
  std::uint8_t target = 2;
  for (const char* product : {"XVD-ROM XT-M7731", "DVD-ROM XT-N7731", "DVD-ROM XT-M7732"}) {
    emulator::DriveConfig near_miss = EmulatedDrive::XtM7731();
    near_miss.identity.product = product;
    machine.AddDrive(1, target++, near_miss);
  }
  machine.AddDrive(1, 6, EmulatedDrive::XtM7731("1033", 31));
  AspiTransport& transport = machine.Start();

  ASSERT_EQ(transport.Enumerate(), 3);
  EXPECT_EQ(transport.GetEntry(0), "0:1: QUENTAR DVD-ROM XT-M77311029");
  EXPECT_EQ(transport.GetEntry(1), "0:5: OTHERCO DVD-ROM XT-M77311029");
  EXPECT_EQ(transport.GetEntry(2), "1:6: QUENTAR DVD-ROM XT-M77311033");
  // Each device costs a TEST UNIT READY and one INQUIRY, whatever it turns out to be.
  EXPECT_THAT(other_model.Log().OperationCodes(),
              ElementsAre(opcode::kTestUnitReady, opcode::kInquiry));
  EXPECT_THAT(disk.Log().OperationCodes(), ElementsAre(opcode::kTestUnitReady, opcode::kInquiry));
  // The identification INQUIRY asks for 44 bytes.
  EXPECT_THAT(disk.Log().Last()->cdb, ElementsAre(0x12, 0, 0, 0, 0x2C, 0));
  EXPECT_THAT(machine.aspi.Snapshot().inquired_adapters, ElementsAre(0, 1));
  EXPECT_THAT(machine.aspi.Snapshot().misuses, IsEmpty());
}

TEST(AspiDiscovery, NeverAsksTheAdaptersOwnIdNorTargetSeven) {
  test::AspiMachine machine;
  machine.aspi.AddHostAdapter(3);
  machine.aspi.AddHostAdapter(7);
  AspiTransport& transport = machine.Start();
  EXPECT_EQ(transport.Enumerate(), 0);
  EXPECT_EQ(TargetsAsked(machine, 0), (std::set<int>{0, 1, 2, 4, 5, 6}));
  EXPECT_EQ(TargetsAsked(machine, 1), (std::set<int>{0, 1, 2, 3, 4, 5, 6}));
}

TEST(AspiDiscovery, AsksAtMostSevenAdapters) {
  test::AspiMachine machine;
  for (int i = 0; i < 9; ++i) {
    machine.aspi.AddHostAdapter(7);
  }
  machine.aspi.SetSupportInfo(0x0109);
  AspiTransport& transport = machine.Start();
  EXPECT_EQ(transport.AdapterCount(), 9);
  EXPECT_EQ(transport.Enumerate(), 0);
  EXPECT_THAT(machine.aspi.Snapshot().inquired_adapters, ElementsAre(0, 1, 2, 3, 4, 5, 6));
}

TEST(AspiDiscovery, AFailedAdapterInquiryEndsTheWalkAndKeepsWhatWasFound) {
  test::AspiMachine machine;
  for (int i = 0; i < 3; ++i) {
    machine.aspi.AddHostAdapter(7);
  }
  machine.AddDrive(0, 2, EmulatedDrive::XtM7731());
  machine.AddDrive(2, 2, EmulatedDrive::XtM7731());
  machine.aspi.SetHostAdapterInquiryStatus(1, ToByte(RequestStatus::SS_INVALID_HA));
  AspiTransport& transport = machine.Start();
  ASSERT_EQ(transport.Enumerate(), 1);
  EXPECT_EQ(transport.GetEntry(0).substr(0, 5), "0:2: ");
  EXPECT_THAT(machine.aspi.Snapshot().inquired_adapters, ElementsAre(0, 1));
  EXPECT_THAT(TargetsAsked(machine, 2), IsEmpty());
}

TEST(AspiDiscovery, AnAdapterThatNeverAnswersIsGivenTenSecondsWithTheUserInterfaceAlive) {
  test::AspiMachine machine;
  machine.aspi.AddHostAdapter(7);
  machine.aspi.AddHostAdapter(7);
  machine.AddDrive(0, 0, EmulatedDrive::XtM7731());
  machine.aspi.SetHostAdapterInquiryStatus(1, sim::SimAspiManager::kNeverCompletes);
  int handled = 0;
  machine.aspi.SetWindowMessageHandler([&] { ++handled; });
  AspiTransport& transport = machine.Start();
  EXPECT_EQ(transport.Enumerate(), 1);
  // Adapter 0 answered at once and its commands pumped nothing; adapter 1 took the ten seconds.
  EXPECT_GT(handled, 0);
  EXPECT_EQ(static_cast<std::uint32_t>(handled), machine.aspi.Snapshot().pumped_messages);
  const std::uint64_t after_walk = machine.NowMs();
  EXPECT_GE(after_walk, 9000U);
  EXPECT_LE(after_walk, 11000U);
  // The unanswered inquiry record is set aside; the next inquiry takes a fresh one.
  EXPECT_EQ(transport.HeldRecordCount(), 1U);
  AspiTransport::HostAdapterInfo info;
  EXPECT_EQ(transport.HostAdapterInquiry(0, info), RequestStatus::SS_COMP);
  EXPECT_EQ(info.scsi_id, 7);
  EXPECT_THAT(machine.aspi.Snapshot().misuses, IsEmpty());
}

TEST(AspiDiscovery, AnIdentificationInquiryIsGivenTenSecondsAndTheWalkGoesOn) {
  test::AspiMachine machine;
  machine.aspi.AddHostAdapter(7);
  EmulatedDrive& silent = machine.AddDrive(0, 0, EmulatedDrive::XtM7731());
  silent.Faults().Add(
      FaultRule{FaultMatch::Command(opcode::kInquiry), FaultAction::NoCompletion()});
  machine.AddDrive(0, 1, EmulatedDrive::XtM7731());
  AspiTransport& transport = machine.Start();
  ASSERT_EQ(transport.Enumerate(), 1);
  EXPECT_EQ(transport.GetEntry(0).substr(0, 5), "0:1: ");
  // The hang ends on the calendar tick ten seconds after it began.
  EXPECT_GE(machine.NowMs(), 9'000U);
  EXPECT_LT(machine.NowMs(), 11'000U);
  EXPECT_EQ(silent.Log().CountOf(opcode::kInquiry), 1U);
}

TEST(AspiDiscovery, TheProductIsReadFromTheIdentityTextAsReceived) {
  // Vendor and product fit in 32 bytes: the entry has no revision, and still names the product.
  test::AspiMachine machine;
  machine.aspi.AddHostAdapter(7);
  EmulatedDrive& short32 = machine.AddDrive(0, 0, EmulatedDrive::XtM7731());
  short32.Faults().Add(
      FaultRule{FaultMatch::Command(opcode::kInquiry), FaultAction::ShortData(32)});
  // 30 bytes cut the product short: not the target model.
  EmulatedDrive& short30 = machine.AddDrive(0, 1, EmulatedDrive::XtM7731());
  short30.Faults().Add(
      FaultRule{FaultMatch::Command(opcode::kInquiry), FaultAction::ShortData(30)});
  AspiTransport& transport = machine.Start();
  ASSERT_EQ(transport.Enumerate(), 1);
  EXPECT_EQ(transport.GetEntry(0), "0:0: QUENTAR DVD-ROM XT-M7731");
}

TEST(AspiDiscovery, AFailedIdentificationIsDescribedAsTheInquiryItWas) {
  test::AspiMachine machine;
  machine.aspi.AddHostAdapter(7);
  EmulatedDrive& drive = machine.AddDrive(0, 6, EmulatedDrive::XtM7731());
  drive.Faults().Add(FaultRule{FaultMatch::Command(opcode::kInquiry),
                               FaultAction::CheckCondition(SenseCode{0x05, 0x24, 0x00})});
  AspiTransport& transport = machine.Start();
  EXPECT_EQ(transport.Enumerate(), 0);
  EXPECT_EQ(transport.GetErrorText(), "Inquiry Status : Check Condition. 24-00 (00)");
}

TEST(AspiDiscovery, SelectTakesTheAddressFromTheEntrysDigits) {
  test::AspiMachine machine;
  machine.aspi.AddHostAdapter(7);
  machine.aspi.AddHostAdapter(2);
  machine.AddDrive(0, 4, EmulatedDrive::XtM7731());
  EmulatedDrive& drive = machine.AddDrive(1, 5, EmulatedDrive::XtM7731());
  AspiTransport& transport = machine.Start();
  ASSERT_EQ(transport.Enumerate(), 2);
  transport.Select(1);
  drive.Log().Clear();
  EXPECT_EQ(transport.TestUnitReady(), RequestStatus::SS_COMP);
  EXPECT_EQ(drive.Log().Size(), 1U);
  EXPECT_EQ(Addresses(machine).back(), std::make_pair(1, 5));

  // An index that names no entry addresses nothing: refused before the library.
  const std::size_t sent = machine.aspi.Snapshot().sent_requests.size();
  transport.Select(60);
  EXPECT_EQ(transport.TestUnitReady(), RequestStatus::SS_INVALID_HA);
  EXPECT_EQ(transport.GetErrorText(), "Test Unit Ready Status : Invalid Ha.");
  transport.Select(2);  // beyond the count, never written
  EXPECT_EQ(transport.TestUnitReady(), RequestStatus::SS_INVALID_HA);
  EXPECT_EQ(machine.aspi.Snapshot().sent_requests.size(), sent);
}

}  // namespace
}  // namespace fwu
