// The terminal dialogs of the simulated PC, answered from a script: what they print, in UTF-8
// and within 80 columns, and how the answers reach the dialogs.
#include "platform/sim/terminal_dialog_host.h"

#include <sstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "dialogs/agreement_dialog.h"
#include "emulator/emulated_drive.h"
#include "platform/sim/terminal_text.h"
#include "support/drive_rig.h"
#include "update/update_dialog.h"

namespace fwu::sim {
namespace {

using ::testing::HasSubstr;

// The lines as a terminal would show them: a carriage return starts the line over.
std::vector<std::string> ScreenLines(const std::string& output) {
  std::vector<std::string> lines;
  std::istringstream in(output);
  for (std::string line; std::getline(in, line);) {
    const std::size_t last_return = line.rfind('\r');
    lines.push_back(last_return == std::string::npos ? line : line.substr(last_return + 1));
  }
  return lines;
}

void ExpectWithin80Columns(const std::string& output) {
  for (const std::string& line : ScreenLines(output)) {
    EXPECT_LE(DisplayWidth(line), 80U) << "[" << line << "]";
  }
}

TEST(TerminalDialogHost, ShowsJapaneseTermsInUtf8WrappedTo80ColumnsAndTakesAnAnswerByNumber) {
  VirtualClock clock;
  std::istringstream script("1\n");
  std::ostringstream screen;
  TerminalDialogHost host(script, screen, clock, {80, true});
  dialogs::AgreementDialog dialog(MessageLanguage::kJapanese);
  dialog.SetModelName("DVD-ROM XT-M7731");

  EXPECT_EQ(host.RunModal(dialog, 0), 1);
  const std::string output = screen.str();
  EXPECT_THAT(output, HasSubstr("Firmware Update Utility For  DVD-ROM XT-M7731\n"));
  EXPECT_THAT(output, HasSubstr("[注意事項]\n"));
  EXPECT_THAT(output, HasSubstr("[1] 合意する  [2] 合意しない <default>\n"));
  EXPECT_THAT(output, HasSubstr("> 1\n")) << "the scripted answer is echoed";
  ExpectWithin80Columns(output);
}

TEST(TerminalDialogHost, WithoutAnswersTheDefaultButtonDecides) {
  VirtualClock clock;
  std::istringstream script("Agree please\n");
  std::ostringstream screen;
  TerminalDialogHost host(script, screen, clock, {80, true});
  dialogs::AgreementDialog dialog(MessageLanguage::kEnglish);
  EXPECT_EQ(host.RunModal(dialog, 0), 2) << "an unknown answer, then the end of the script";
  EXPECT_THAT(screen.str(), HasSubstr("(answer with a button's number or caption"));
  ExpectWithin80Columns(screen.str());
}

TEST(TerminalDialogHost, RunsAWholeUpdateWithTheProgressBarOnOneLine) {
  test::DriveRig rig(test::TransportKind::kPassThrough, 1252);
  emulator::EmulatedDrive& drive = rig.AddDrive(emulator::EmulatedDrive::XtM7731("1029", 32));
  drive.KnowFirmware(test::PlainImage(), emulator::FirmwareIdentity{"1033", 32});
  std::istringstream script("shutdown\nupdate start\n\n\n");
  std::ostringstream screen;
  TerminalDialogHost host(script, screen, rig.Clock(), {80, true});
  UpdateDialog dialog(host, rig.Clock(), rig.Clock(), rig.Locale(), rig.Transport());

  host.RunModal(dialog, 0);
  EXPECT_EQ(dialog.RestoreResult(), UpdateDialog::kRestoreNothing);
  EXPECT_EQ(drive.Revision(), "1033");
  const std::string output = screen.str();
  EXPECT_THAT(output, HasSubstr("* 1) E:   QUENTAR DVD-ROM XT-M7731\n"));
  EXPECT_THAT(output, HasSubstr("\n  Now Updating...\n"));
  EXPECT_THAT(output, HasSubstr("(log off / shut down: refused)"));
  EXPECT_THAT(output, HasSubstr("\rProgress [" + std::string(44, '#') + std::string(6, '.') +
                                "]  88%\rProgress [" + std::string(50, '#') + "] 100%\n"));
  EXPECT_THAT(output, HasSubstr("Update Complete."));
  ExpectWithin80Columns(output);
}

TEST(TerminalDialogHost, InALogTheProgressBarTakesALinePerTenth) {
  test::DriveRig rig(test::TransportKind::kPassThrough, 1252);
  emulator::EmulatedDrive& drive = rig.AddDrive(emulator::EmulatedDrive::XtM7731("1029", 32));
  drive.KnowFirmware(test::PlainImage(), emulator::FirmwareIdentity{"1033", 32});
  std::istringstream script("update start\n\n\n");
  std::ostringstream screen;
  TerminalDialogHost host(script, screen, rig.Clock(), {80, true, false});
  UpdateDialog dialog(host, rig.Clock(), rig.Clock(), rig.Locale(), rig.Transport());

  host.RunModal(dialog, 0);
  EXPECT_EQ(drive.Revision(), "1033");
  const std::string output = screen.str();
  EXPECT_EQ(output.find('\r'), std::string::npos);
  // 2 % opens the first tenth; the bar then climbs to 88 % and jumps to 100 % at the end.
  std::vector<std::string> shown;
  for (std::size_t at = output.find("Progress ["); at != std::string::npos;
       at = output.find("Progress [", at + 1)) {
    shown.push_back(output.substr(at + 62, output.find('\n', at) - at - 62));
  }
  EXPECT_THAT(shown, ::testing::ElementsAre("  2%", " 10%", " 20%", " 30%", " 40%", " 50%", " 60%",
                                            " 70%", " 80%", "100%"));
  EXPECT_THAT(output, HasSubstr("Progress [" + std::string(50, '#') + "] 100%\n"));
}

TEST(TerminalText, WrapsAtBlanksAndCountsWideCharactersTwice) {
  EXPECT_EQ(DisplayWidth("CD ドライブ"), 3U + 8U);
  EXPECT_THAT(WrapText("one two three", 8), ::testing::ElementsAre("one two", "three"));
  EXPECT_THAT(WrapText("アイウエオ", 4), ::testing::ElementsAre("アイ", "ウエ", "オ"));
  EXPECT_THAT(WrapText("a\r\nb", 80), ::testing::ElementsAre("a", "b"));
  EXPECT_EQ(Cp932ToUtf8("\x83\x41\xFF"), "ア?");
}

}  // namespace
}  // namespace fwu::sim
