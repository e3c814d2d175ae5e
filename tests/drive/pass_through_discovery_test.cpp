// Finding the drives on an NT-family PC: drive letters, their types, and what each answers.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/pass_through_machine.h"

namespace fwu {
namespace {

using emulator::EmulatedDrive;
using emulator::FaultAction;
using emulator::FaultMatch;
using emulator::FaultRule;

TEST(PassThroughDiscovery, ListsEveryTargetDriveByLetterAndSkipsEverythingElse) {
  test::PassThroughMachine machine;
  machine.driver.SetDriveType('C', sim::SimPassThroughDriver::kDriveFixed);
  EmulatedDrive& other_model = machine.AddDrive('D', EmulatedDrive::OtherModel());
  // Bytes past the revision are no part of the identity text.
  emulator::DriveConfig with_more_data = EmulatedDrive::XtM7731("1029", 32);
  with_more_data.identity.vendor_specific = "2026/01/07 REV B";
  machine.AddDrive('E', with_more_data);
  EmulatedDrive& disk = machine.AddDrive('F', EmulatedDrive::DirectAccessWithSameProduct());
  machine.AddDrive('G', EmulatedDrive::XtM7731("1033", 31));

  ASSERT_EQ(machine.transport.Enumerate(), 2);
  EXPECT_EQ(machine.transport.GetEntry(0), "E:   QUENTAR DVD-ROM XT-M77311029");
  EXPECT_EQ(machine.transport.GetEntry(1), "G:   QUENTAR DVD-ROM XT-M77311033");
  EXPECT_EQ(machine.driver.OpenCount('C'), 0U);  // not an optical drive: never opened
  EXPECT_EQ(other_model.Log().CountOf(opcode::kInquiry), 1U);
  EXPECT_EQ(disk.Log().CountOf(opcode::kInquiry), 1U);
  // Only the INQUIRY goes to a drive during the walk; the vendor is not asked for.
  EXPECT_EQ(machine.drives[1]->Log().Size(), 1U);
  EXPECT_EQ(machine.transport.GetEntry(27), "Z:");  // the scratch slot keeps the last letter tried
  EXPECT_EQ(machine.driver.OpenHandles(), 0U);
}

TEST(PassThroughDiscovery, RecognisesTheProductAloneWhateverTheVendor) {
  test::PassThroughMachine machine;
  machine.AddDrive('H', EmulatedDrive::OtherVendor());
  // A product that differs in its first, a middle or its last character is another product.
  char letter = 'I';
  for (const char* product : {"XVD-ROM XT-M7731", "DVD-ROM XT-N7731", "DVD-ROM XT-M7732"}) {
    emulator::DriveConfig near_miss = EmulatedDrive::XtM7731();
    near_miss.identity.product = product;
    machine.AddDrive(letter++, near_miss);
  }
  ASSERT_EQ(machine.transport.Enumerate(), 1);
  EXPECT_EQ(machine.transport.GetEntry(0).substr(0, 13), "H:   OTHERCO ");
}

TEST(PassThroughDiscovery, TransferLimitsComeFromTheDriverCappedOrDefaulted) {
  test::PassThroughMachine machine;
  machine.AddDrive('E', EmulatedDrive::XtM7731(), 262144);
  machine.AddDrive('F', EmulatedDrive::XtM7731(), 32768);
  machine.AddDrive('G', EmulatedDrive::XtM7731());
  machine.driver.FailCapabilities('G');
  ASSERT_EQ(machine.transport.Enumerate(), 3);
  EXPECT_EQ(machine.transport.TransferLimit(0), 131072U);
  EXPECT_EQ(machine.transport.TransferLimit(1), 32768U);
  EXPECT_EQ(machine.transport.TransferLimit(2), 65536U);
}

TEST(PassThroughDiscovery, ADriveThatReportsUnitAttentionIsStillFound) {
  test::PassThroughMachine machine;
  EmulatedDrive& drive = machine.AddDrive('E', EmulatedDrive::XtM7731());
  drive.Faults().Add(FaultRule::UnitAttention(FaultMatch::AnyCommand(), 2));
  EXPECT_EQ(machine.transport.Enumerate(), 1);
  EXPECT_EQ(drive.Log().CountOf(opcode::kInquiry), 3U);
}

TEST(PassThroughDiscovery, DrivesThatCannotBeOpenedOrDoNotAnswerAreLeftOut) {
  test::PassThroughMachine machine;
  machine.AddDrive('E', EmulatedDrive::XtM7731());
  EmulatedDrive& silent = machine.AddDrive('F', EmulatedDrive::XtM7731());
  machine.AddDrive('G', EmulatedDrive::XtM7731());
  machine.driver.FailOpen('E', platform::kErrorAccessDenied);
  silent.Faults().Add(FaultRule{FaultMatch::Command(opcode::kInquiry), FaultAction::Status(0x08), 1,
                                emulator::kForever});
  ASSERT_EQ(machine.transport.Enumerate(), 1);
  EXPECT_EQ(machine.transport.GetEntry(0).substr(0, 2), "G:");
}

TEST(PassThroughDiscovery, AShortInquiryStillGivesAnIdentityFromTheZeroedBuffer) {
  test::PassThroughMachine machine;
  EmulatedDrive& drive = machine.AddDrive('E', EmulatedDrive::XtM7731());
  drive.Faults().Add(FaultRule{FaultMatch::Command(opcode::kInquiry), FaultAction::ShortData(32)});
  ASSERT_EQ(machine.transport.Enumerate(), 1);
  EXPECT_EQ(machine.transport.GetEntry(0), "E:   QUENTAR DVD-ROM XT-M7731");

  drive.Faults().Add(FaultRule{FaultMatch::Command(opcode::kInquiry), FaultAction::ShortData(24)});
  EXPECT_EQ(machine.transport.Enumerate(), 0);  // the product is cut short: not the target
}

TEST(PassThroughDiscovery, EachWalkRebuildsTheList) {
  test::PassThroughMachine machine;
  machine.AddDrive('E', EmulatedDrive::XtM7731());
  machine.AddDrive('G', EmulatedDrive::XtM7731());
  ASSERT_EQ(machine.transport.Enumerate(), 2);
  machine.driver.SetDriveType('E', sim::SimPassThroughDriver::kDriveNoRootDir);
  ASSERT_EQ(machine.transport.Enumerate(), 1);
  EXPECT_EQ(machine.transport.GetEntry(0).substr(0, 2), "G:");
  EXPECT_EQ(machine.transport.GetEntry(200), "");  // out of range: no entry, no fault
}

TEST(PassThroughDiscovery, AnIndexPastTheListAddressesNoDevice) {
  test::PassThroughMachine machine;
  machine.AddDrive('E', EmulatedDrive::XtM7731());
  ASSERT_EQ(machine.transport.Enumerate(), 1);
  machine.transport.Select(40);
  EXPECT_EQ(machine.transport.TestUnitReady(), RequestStatus::SS_NO_DEVICE);
  EXPECT_EQ(machine.transport.GetErrorText(), "No Device.");
  EXPECT_EQ(machine.drives[0]->Log().CountOf(opcode::kTestUnitReady), 0U);
}

}  // namespace
}  // namespace fwu
