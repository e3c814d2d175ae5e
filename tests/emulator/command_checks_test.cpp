#include <vector>

#include <gtest/gtest.h>

#include "drive_host.h"
#include "emulator/emulated_drive.h"

namespace fwu::emulator {
namespace {

using testing::SenseOf;

CommandOutcome Raw(EmulatedDrive& drive, std::vector<std::uint8_t> cdb, DataDirection direction,
                   std::span<std::uint8_t> data = {}) {
  return drive.Execute(cdb, direction, data);
}

TEST(CommandChecks, UnknownCommandsAndLunsAreRefused) {
  EmulatedDrive drive(EmulatedDrive::XtM7731());
  std::vector<std::uint8_t> data(44);
  EXPECT_EQ(SenseOf(Raw(drive, {0x03, 0, 0, 0, 18, 0}, DataDirection::kNone)),
            sense::kInvalidOperationCode);  // REQUEST SENSE is not among the drive's commands
  EXPECT_EQ(SenseOf(Raw(drive, {}, DataDirection::kNone)), sense::kInvalidOperationCode);
  EXPECT_EQ(SenseOf(Raw(drive, {0x00, 0x20, 0, 0, 0, 0}, DataDirection::kNone)),
            sense::kLunNotSupported);
  EXPECT_EQ(SenseOf(Raw(drive, {0x12, 0xE0, 0, 0, 44, 0}, DataDirection::kIn, data)),
            sense::kLunNotSupported);
  EXPECT_EQ(SenseOf(Raw(drive, {0x28, 0, 0, 0, 0, 16}, DataDirection::kIn, data)),
            sense::kInvalidFieldInCdb)
      << "READ(10) needs ten CDB bytes";
  EXPECT_EQ(drive.Log().Last()->misfit, DataPhaseMisfit::kCdbTooShort);
}

TEST(CommandChecks, DataPhaseMustFitTheCommand) {
  EmulatedDrive drive(EmulatedDrive::XtM7731());
  std::vector<std::uint8_t> buffer(64);
  struct Case {
    std::vector<std::uint8_t> cdb;
    DataDirection direction;
    std::size_t data_bytes;
    SenseCode expected;
    DataPhaseMisfit misfit;
  };
  const std::vector<Case> cases{
      {{0x12, 0, 0, 0, 44, 0},
       DataDirection::kOut,
       44,
       sense::kInvalidFieldInCdb,
       DataPhaseMisfit::kWrongDirection},
      {{0x12, 0, 0, 0, 44, 0},
       DataDirection::kNone,
       0,
       sense::kInvalidFieldInCdb,
       DataPhaseMisfit::kWrongDirection},
      {{0x1D, 0, 0, 0, 8, 0},
       DataDirection::kIn,
       8,
       sense::kInvalidFieldInCdb,
       DataPhaseMisfit::kWrongDirection},
      {{0x1E, 0, 0, 0, 0, 0},
       DataDirection::kIn,
       16,
       sense::kInvalidFieldInCdb,
       DataPhaseMisfit::kWrongDirection},
      {{0x1D, 0, 0, 0, 8, 0},
       DataDirection::kOut,
       6,
       sense::kParameterListLengthError,
       DataPhaseMisfit::kParameterListShort},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    const auto data = std::span(buffer).first(c.data_bytes);
    const CommandOutcome outcome = drive.Execute(c.cdb, c.direction, data);
    EXPECT_EQ(outcome.status, scsi_status::kCheckCondition) << "case " << i;
    EXPECT_EQ(SenseOf(outcome), c.expected) << "case " << i;
    EXPECT_EQ(drive.Log().Last()->misfit, c.misfit) << "case " << i;
  }
  // Zero-length data commands need no data phase at all.
  EXPECT_EQ(Raw(drive, {0x12, 0, 0, 0, 0, 0}, DataDirection::kNone).status, scsi_status::kGood);
  EXPECT_EQ(drive.Log().Last()->misfit, DataPhaseMisfit::kNone);
}

}  // namespace
}  // namespace fwu::emulator
