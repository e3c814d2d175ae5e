// The terms of use: their layout and limits in both languages, the title and buttons, the
// result, and the shutdown guard while the user reads.
#include "dialogs/agreement_dialog.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "resources/dialog_ids.h"
#include "support/run_scripted.h"
#include "support/shift_jis.h"

namespace fwu::dialogs {
namespace {

using test::Scenario;
using test::ScriptedWindow;
using ::testing::HasSubstr;
using ::testing::StartsWith;

constexpr std::string_view kModel = "DVD-ROM XT-M7731";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", from)) {
    lines.push_back(text.substr(from, at - from));
    from = at + 2;
  }
  lines.push_back(text.substr(from));
  return lines;
}

std::size_t Count(const std::string& text, std::string_view part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

// Intro, the four conditions, the heading, the seven instructions, the trademark line; the
// model named where the language's text names it and nowhere else.
void ExpectLayout(const std::vector<std::string>& lines, bool english, const std::string& heading,
                  const std::string& trademark) {
  std::size_t at = 0;
  ASSERT_FALSE(lines.empty());
  EXPECT_FALSE(lines[at++].empty()) << "opening paragraph";
  if (english) {
    EXPECT_EQ(lines[at++], "") << "blank line after the opening paragraph";
  }
  for (int n = 1; n <= 4; ++n) {
    ASSERT_LT(at, lines.size());
    EXPECT_THAT(lines[at++], StartsWith(std::to_string(n) + ") ")) << "condition " << n;
  }
  EXPECT_EQ(lines[at++], "");
  EXPECT_EQ(lines[at++], heading);
  for (int n = 1; n <= 7; ++n) {
    ASSERT_LT(at, lines.size());
    const std::string& line = lines[at++];
    EXPECT_THAT(line, StartsWith(std::to_string(n) + ") ")) << "instruction " << n;
    const bool names_model = n == 1 || (english && n == 5);
    EXPECT_EQ(line.find(kModel) != std::string::npos, names_model) << "instruction " << n;
  }
  EXPECT_EQ(lines[at++], "");
  EXPECT_THAT(lines[at++], HasSubstr(trademark));
  // The last line ends in CR LF, twice in Japanese.
  ASSERT_EQ(lines.size(), at + (english ? 1 : 2));
  for (; at < lines.size(); ++at) {
    EXPECT_EQ(lines[at], "");
  }
}

TEST(AgreementDialog, EnglishTermsNameTheModelInInstructionsOneAndFiveWithinTheLimit) {
  AgreementDialog dialog(MessageLanguage::kEnglish);
  const std::string& text = dialog.AgreementText();
  EXPECT_LE(text.size(), AgreementDialog::kTextLimit);
  EXPECT_EQ(Count(text, kModel), 2U);
  EXPECT_EQ(text.find('%'), std::string::npos) << "every conversion is filled";
  ExpectLayout(Lines(text), true, "[Instructions]", "trademark");
}

TEST(AgreementDialog, JapaneseTermsAreShiftJisWithTheModelInInstructionOne) {
  AgreementDialog dialog(MessageLanguage::kJapanese);
  const std::string& text = dialog.AgreementText();
  EXPECT_LE(text.size(), AgreementDialog::kTextLimit) << "bytes, as the edit control counts them";
  const std::string utf8 = test::ShiftJisToUtf8(text);
  EXPECT_EQ(Count(utf8, kModel), 1U);
  EXPECT_THAT(utf8, HasSubstr("「合意する」"));
  ExpectLayout(Lines(utf8), false, "[注意事項]", "登録商標");
}

TEST(AgreementDialog, ShowsTheTermsUnderItsTitleAndAgreeEndsWithOne) {
  AgreementDialog dialog(MessageLanguage::kEnglish);
  dialog.SetModelName(kModel);
  Scenario scenario;
  scenario
      .Opens(ids::kAgreementDialog,
             [&](const ScriptedWindow& window) {
               EXPECT_EQ(window.Title(), "Firmware Update Utility For  DVD-ROM XT-M7731");
               EXPECT_EQ(window.Text(ids::kAgreementText), dialog.AgreementText());
               EXPECT_EQ(window.Text(ids::kAgree), "Agree");
               EXPECT_EQ(window.Text(ids::kNotAgree), "Not Agree");
               EXPECT_EQ(window.KindOf(ids::kNotAgree), ControlKind::kDefaultButton);
             })
      .RequestEveryShutdown(true)
      .Press(ids::kAgree);
  EXPECT_EQ(test::RunScripted(dialog, std::move(scenario)), AgreementDialog::kAgreed);

  EXPECT_EQ(dialog.ClosePermission(), 1);
  std::intptr_t answer = 0;
  EXPECT_FALSE(dialog.OnGuardMessage(platform::kWmQueryEndSession, 0, answer));
}

TEST(AgreementDialog, JapaneseButtonsAndEveryWayOutButAgreeGiveTwo) {
  const std::vector<std::pair<std::string, std::function<void(Scenario&)>>> ways_out{
      {"Not Agree", [](Scenario& s) { s.Press(ids::kNotAgree); }},
      {"close box", [](Scenario& s) { s.RequestClose(); }},
      {"Escape", [](Scenario& s) { s.Escape(); }},
  };
  for (const auto& [name, leave] : ways_out) {
    AgreementDialog dialog(MessageLanguage::kJapanese);
    dialog.SetModelName(kModel);
    Scenario scenario;
    scenario.Opens(ids::kAgreementDialog, [](const ScriptedWindow& window) {
      EXPECT_EQ(window.Utf8Text(ids::kAgree), "合意する");
      EXPECT_EQ(window.Utf8Text(ids::kNotAgree), "合意しない");
      EXPECT_EQ(window.Title(), "Firmware Update Utility For  DVD-ROM XT-M7731");
    });
    scenario.RequestShutdown(platform::kWmPowerBroadcast, platform::kPbtApmQueryStandby, true);
    leave(scenario);
    EXPECT_EQ(test::RunScripted(dialog, std::move(scenario)), AgreementDialog::kNotAgreed) << name;
    EXPECT_EQ(dialog.ClosePermission(), 1) << name;
  }
}

}  // namespace
}  // namespace fwu::dialogs
