// The scripted host itself: whatever the scenario does not expect fails the test with a message
// that says what happened, and the dialogs end so that the test ends.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "dialogs/notice_dialog.h"
#include "resources/dialog_ids.h"
#include "support/run_scripted.h"

namespace fwu::dialogs {
namespace {

using test::Scenario;

TEST(ScriptedDialogHost, SaysWhatAppearedInsteadOfWhatTheScenarioExpected) {
  NoticeDialog notice(Notice::kCancel, MessageLanguage::kEnglish);
  int result = 0;
  EXPECT_NONFATAL_FAILURE(
      result = test::RunScripted(notice, Scenario().Opens(ids::kWarningNotice).Press(ids::kOk)),
      "dialog 133 opened, but the scenario expects dialog 132 opens");
  EXPECT_EQ(result, platform::kIdCancel);
}

TEST(ScriptedDialogHost, RefusesToPressWhatTheUserCouldNotPress) {
  NoticeDialog notice(Notice::kCancel, MessageLanguage::kEnglish);
  EXPECT_NONFATAL_FAILURE(
      test::RunScripted(notice, Scenario().Opens(ids::kCancelNotice).Press(ids::kCancel)),
      "cannot press control 2 on dialog 133: it is missing, hidden or disabled");
}

TEST(ScriptedDialogHost, ADialogThatOnlyTheUserCouldEndDoesNotHangTheTest) {
  NoticeDialog notice(Notice::kCancel, MessageLanguage::kEnglish);
  EXPECT_NONFATAL_FAILURE(
      test::RunScripted(notice, Scenario().Opens(ids::kCancelNotice).MessageBox("Update Failed.")),
      "the scenario waits for message box \"Update Failed.\", but no timer runs (dialog 133 on "
      "top)");
  EXPECT_NONFATAL_FAILURE(test::RunScripted(notice, Scenario().Opens(ids::kCancelNotice)),
                          "dialog 133 waits for the user, but the scenario has no more steps");
}

}  // namespace
}  // namespace fwu::dialogs
