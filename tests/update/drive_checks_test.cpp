// The selection-time and start-time checks against emulated drives, over both transports.
#include "update/drive_checks.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "drive/command_set.h"
#include "emulator/emulated_drive.h"
#include "emulator/fault_plan.h"
#include "support/drive_rig.h"
#include "support/message_box_recorder.h"
#include "support/shift_jis.h"

namespace fwu {
namespace {

using emulator::DriveConfig;
using emulator::EmulatedDrive;
using test::DriveRig;
using test::TransportKind;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// The dialog's side of CheckDrive, as plain records.
class RecordingView final : public DriveCheckView {
 public:
  int DriveSelection() const override { return selection; }
  void SetCurrentRevision(std::string_view revision) override { current_revision = revision; }
  void SetNewVersion(std::string_view version) override { new_version = version; }
  void EnableUpdateStart(bool enabled) override { update_start = enabled; }
  void ShowStatus(DriveCheckOutcome outcome) override { statuses.push_back(outcome); }
  void Beep() override { ++beeps; }

  int selection = 0;
  std::optional<std::string> current_revision;
  std::string new_version = "old";
  bool update_start = true;
  std::vector<DriveCheckOutcome> statuses;
  int beeps = 0;
};

DriveConfig Drive(std::string revision, std::int8_t build = 32, std::string code = "km") {
  DriveConfig config = EmulatedDrive::XtM7731(std::move(revision), build);
  config.drive_code = std::move(code);
  return config;
}

class DriveChecks : public ::testing::TestWithParam<TransportKind> {
 protected:
  // One drive, listed and with a clean log.
  EmulatedDrive& Only(DriveConfig config) {
    EmulatedDrive& drive = rig_.AddDrive(std::move(config));
    EXPECT_EQ(rig_.Transport().Enumerate(), 1);
    drive.Log().Clear();
    return drive;
  }

  DriveRig rig_{GetParam(), 1252};
};

TEST_P(DriveChecks, OutcomesFollowTheRevisionTheBuildAndTheDriveCode) {
  using O = DriveCheckOutcome;
  struct Case {
    std::string revision;
    std::int8_t build;
    std::string code;
    O outcome;
  };
  const std::vector<Case> cases{
      {"1029", 32, "km", O::kUpdateAllowed},
      {"1040", 32, "km", O::kUpdateUnnecessary},
      {"1033", 32, "km", O::kUpdateUnnecessary},
      {"1033", 31, "km", O::kUpdateAllowed},
      {"1033", -1, "km", O::kUpdateAllowed},  // byte 15 = 0xFF counts as -1
      {"1133", 32, "km", O::kNotSupportedFirmware},
      {"2033", 32, "km", O::kNotSupportedDrive},
      {"1029", 32, "KM", O::kNotSupportedDrive},
      {"1029", 32, "k", O::kNotSupportedDrive},
      // The last two characters read as the C library reads a number.
      {"10 3", 32, "km", O::kUpdateAllowed},
      {"10-1", 32, "km", O::kUpdateAllowed},
      {"1035", 32, "km", O::kUpdateUnnecessary},
      // No version number in the last two characters: never an update.
      {"10AB", 32, "km", O::kNotSupportedFirmware},
      {"10  ", 32, "km", O::kNotSupportedFirmware},
  };
  for (const Case& c : cases) {
    DriveRig rig(GetParam(), 1252);
    rig.AddDrive(Drive(c.revision, c.build, c.code));
    ASSERT_EQ(rig.Transport().Enumerate(), 1);
    RecordingView view;
    const std::string name = c.revision + " build " + std::to_string(c.build) + " code " + c.code;

    EXPECT_EQ(CheckDrive(rig.Transport(), ImageList(), view), c.outcome) << name;
    EXPECT_EQ(view.statuses.front(), O::kNotSupportedDrive) << name << ": shown first";
    EXPECT_EQ(view.statuses.back(), c.outcome) << name;
    EXPECT_EQ(view.update_start, c.outcome == O::kUpdateAllowed) << name;
    EXPECT_EQ(view.current_revision, c.revision) << name;
    // The image's version shows once the drive code has matched.
    const bool matched = c.code == "km" && c.revision[0] == '1' && c.revision[1] == '0';
    EXPECT_EQ(view.new_version, matched ? "1033" : "") << name;
    EXPECT_EQ(view.beeps, 0) << name;
  }
}

TEST_P(DriveChecks, ADriveThatFailsInquiryBeepsAndIsNeverAskedForItsIdentification) {
  EmulatedDrive& drive = Only(Drive("1029"));
  drive.Faults().Add({emulator::FaultMatch::Command(opcode::kInquiry),
                      emulator::FaultAction::CheckCondition(emulator::sense::kMediumNotPresent), 1,
                      emulator::kForever});
  RecordingView view;
  view.current_revision = "0000";

  EXPECT_EQ(CheckDrive(rig_.Transport(), ImageList(), view), DriveCheckOutcome::kNotSupportedDrive);
  EXPECT_EQ(view.beeps, 1);
  EXPECT_EQ(view.current_revision, "0000") << "the field keeps its previous text";
  EXPECT_FALSE(view.update_start);
  EXPECT_EQ(drive.Log().CountOf(opcode::kSendDiagnostic), 0U);
  EXPECT_EQ(drive.Log().CountOf(opcode::kReceiveDiagnosticResults), 0U);
}

TEST_P(DriveChecks, OtherModelsAndDrivesWithoutTheQueryAreNotSupported) {
  Only(Drive("1029"));
  EmulatedDrive& other = rig_.SwapDrive(0, EmulatedDrive::OtherModel());
  RecordingView view;
  EXPECT_EQ(CheckDrive(rig_.Transport(), ImageList(), view), DriveCheckOutcome::kNotSupportedDrive);
  EXPECT_EQ(other.Log().CountOf(opcode::kSendDiagnostic), 0U) << "the model test comes first";

  DriveRig rig(GetParam(), 1252);
  DriveConfig silent = Drive("1029");
  silent.supports_identification = false;
  rig.AddDrive(silent);
  ASSERT_EQ(rig.Transport().Enumerate(), 1);
  RecordingView silent_view;
  EXPECT_EQ(CheckDrive(rig.Transport(), ImageList(), silent_view),
            DriveCheckOutcome::kNotSupportedDrive);
  EXPECT_EQ(silent_view.new_version, "");
  EXPECT_FALSE(silent_view.update_start);
}

TEST_P(DriveChecks, NoSelectionSendsNothingAndKeepsUpdateStartDisabled) {
  EmulatedDrive& drive = Only(Drive("1029"));
  RecordingView view;
  view.selection = -1;
  EXPECT_EQ(CheckDrive(rig_.Transport(), ImageList(), view), DriveCheckOutcome::kNotSupportedDrive);
  EXPECT_FALSE(view.update_start);
  EXPECT_THAT(view.statuses, ElementsAre(DriveCheckOutcome::kNotSupportedDrive));
  EXPECT_EQ(drive.Log().Size(), 0U);
}

TEST_P(DriveChecks, StartCheckPicksTheImageEntryAfterOneInquiryAndOneQuery) {
  EmulatedDrive& drive = Only(Drive("1029"));
  rig_.Transport().Select(0);
  test::MessageBoxRecorder boxes;
  const StartCheckResult result =
      CheckBeforeStart(rig_.Transport(), ImageList(), boxes, 0x40, MessageLanguage::kEnglish);
  EXPECT_EQ(result.kind, StartCheckResult::Kind::kReady);
  EXPECT_EQ(result.image_index, 0U);
  EXPECT_THAT(boxes.boxes, IsEmpty());
  EXPECT_THAT(drive.Log().OperationCodes(), ElementsAre(opcode::kInquiry, opcode::kSendDiagnostic,
                                                        opcode::kReceiveDiagnosticResults));
}

TEST_P(DriveChecks, StartCheckRefusesEarlySiblingRevisionsAndUnknownDriveCodes) {
  struct Case {
    std::string product;
    std::string revision;
    std::string code;
    MessageLanguage language;
    std::optional<std::string> refusal;  // UTF-8
  };
  const std::vector<Case> cases{
      {"DVD-10 XT-M4418 ", "1029", "km", MessageLanguage::kEnglish, "Not Support Version."},
      {"DVD-10 XT-M4418 ", "1029", "km", MessageLanguage::kJapanese,
       "サポートしないファームウェアです。"},
      {"DVD-10 XT-M4418 ", "1030", "km", MessageLanguage::kEnglish, std::nullopt},
      {"DVD-ROM XT-M4418", "1029", "km", MessageLanguage::kEnglish, std::nullopt},
      {"DVD-ROM XT-M7731", "1029", "KM", MessageLanguage::kEnglish, "Not Support."},
      {"DVD-ROM XT-M7731", "1029", "kx", MessageLanguage::kJapanese,
       "サポートしないCD ドライブです。"},
  };
  for (const Case& c : cases) {
    DriveRig rig(GetParam(), 1252);
    rig.AddDrive(Drive("1029"));
    ASSERT_EQ(rig.Transport().Enumerate(), 1);
    // Only the start-time check sees a sibling: the drive list holds the target model alone.
    DriveConfig config = Drive(c.revision, 32, c.code);
    config.identity.product = c.product;
    rig.SwapDrive(0, config);
    rig.Transport().Select(0);
    test::MessageBoxRecorder boxes;
    const StartCheckResult result =
        CheckBeforeStart(rig.Transport(), ImageList(), boxes, 0x40, c.language);
    const std::string name = c.product + " " + c.revision + " " + c.code;
    if (c.refusal) {
      EXPECT_EQ(result.kind, StartCheckResult::Kind::kRefused) << name;
      ASSERT_EQ(boxes.boxes.size(), 1U) << name;
      EXPECT_EQ(test::ShiftJisToUtf8(boxes.boxes[0].text), *c.refusal) << name;
      EXPECT_EQ(boxes.boxes[0].caption, "Firmware Update Utility") << name;
      EXPECT_EQ(boxes.boxes[0].owner, 0x40U) << name;
    } else {
      EXPECT_EQ(result.kind, StartCheckResult::Kind::kReady) << name;
      EXPECT_THAT(boxes.boxes, IsEmpty()) << name;
    }
  }
}

TEST_P(DriveChecks, StartCheckLeavesFailedCommandsToTheCaller) {
  for (const std::uint8_t failing : {opcode::kInquiry, opcode::kReceiveDiagnosticResults}) {
    DriveRig rig(GetParam(), 1252);
    EmulatedDrive& drive = rig.AddDrive(Drive("1029"));
    ASSERT_EQ(rig.Transport().Enumerate(), 1);
    rig.Transport().Select(0);
    drive.Faults().Add({emulator::FaultMatch::Command(failing),
                        emulator::FaultAction::CheckCondition(emulator::sense::kMediumNotPresent),
                        1, emulator::kForever});
    test::MessageBoxRecorder boxes;
    EXPECT_EQ(
        CheckBeforeStart(rig.Transport(), ImageList(), boxes, 0, MessageLanguage::kEnglish).kind,
        StartCheckResult::Kind::kTransportError);
    EXPECT_THAT(boxes.boxes, IsEmpty());
    EXPECT_FALSE(rig.Transport().GetErrorText().empty());
  }
}

// The last two characters, read as the C library reads "%02d": blanks before the number
// skipped, a sign taken, the number ending at the first other character. Only a text with no
// number there has none.
TEST(VersionNumber, ReadsTheLastTwoCharactersAsTheCLibraryDoes) {
  const std::pair<const char*, std::optional<int>> cases[] = {
      {"1033", 33}, {"1009", 9},  {"10 5", 5},  {"10\t5", 5}, {"10-1", -1},
      {"10+7", 7},  {"103", 3},   {"105 ", 5},  {"103A", 3},  {"10", 10},
      {"10AB", {}}, {"10  ", {}}, {"10- ", {}}, {"10A3", {}}, {"", {}},
  };
  for (const auto& [text, number] : cases) {
    EXPECT_EQ(VersionNumber(text), number) << '"' << text << '"';
  }
}

INSTANTIATE_TEST_SUITE_P(Transports, DriveChecks,
                         ::testing::Values(TransportKind::kPassThrough, TransportKind::kAspi),
                         [](const auto& param_info) { return test::NameOf(param_info.param); });

}  // namespace
}  // namespace fwu
