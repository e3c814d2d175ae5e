// The ten notices: resource, text control, text and title in each language, the results of
// their buttons, and the shutdown guard while they wait.
#include "dialogs/notice_dialog.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "resources/dialog_ids.h"
#include "resources/notice_texts.h"
#include "support/run_scripted.h"
#include "support/scripted_dialog_host.h"

namespace fwu::dialogs {
namespace {

using test::Scenario;
using test::ScriptedWindow;

struct Expected {
  Notice notice;
  MessageLanguage language;
  int template_id;
  int text_control;
  std::string text;  // UTF-8
};

const std::vector<Expected>& AllNotices() {
  static const std::vector<Expected> kAll{
      {Notice::kWarning, MessageLanguage::kEnglish, 132, 102,
       "Please close to all applications before update firmware."},
      {Notice::kWarning, MessageLanguage::kJapanese, 135, 108,
       "ファームウェアのアップデートを行う前にアプリケーションを全て終了して下さい。"},
      {Notice::kCancel, MessageLanguage::kEnglish, 133, 109,
       "Retrieves setting and system restart now."},
      {Notice::kCancel, MessageLanguage::kJapanese, 134, 110,
       "設定を元に戻しシステムを再起動します。"},
      {Notice::kEnd, MessageLanguage::kEnglish, 136, 111,
       "Firmware update complete. \r\nRetrieves setting and system restart now."},
      {Notice::kEnd, MessageLanguage::kJapanese, 137, 112,
       "ファームウェアのアップデートが終了しました。\r\n設定を元に戻し、再起動します。"},
      {Notice::kStart, MessageLanguage::kEnglish, 138, 113,
       "Update firmware takes about 3 minutes.\r\nDuring update, you should NOT be that run other "
       "applications, shut down and restart PC.\r\nBecause CD-Drive maybe broken down."},
      {Notice::kStart, MessageLanguage::kJapanese, 139, 114,
       "ファームウェアのアップデートには約3 "
       "分かかります。\r\nアップデート中は他のアプリケーションの"
       "実行や、パソコンを終了・再起動させることは絶対に行わないでください。\r\nCD "
       "ドライブが故障するおそれがあります。"},
      {Notice::kReboot, MessageLanguage::kEnglish, 140, 105, ""},
      {Notice::kReboot, MessageLanguage::kJapanese, 141, 106, ""},
  };
  return kAll;
}

TEST(NoticeDialog, EachNoticeShowsItsTextInItsOwnResourceUnderTheCommonTitle) {
  for (const Expected& expected : AllNotices()) {
    NoticeDialog notice(expected.notice, expected.language);
    const std::string name(notice.Resource().name);
    EXPECT_EQ(notice.Resource().text_control, expected.text_control) << name;
    Scenario scenario;
    scenario
        .Opens(expected.template_id,
               [&](const ScriptedWindow& window) {
                 EXPECT_EQ(window.Utf8Text(expected.text_control), expected.text) << name;
                 EXPECT_EQ(window.Title(), "Firmware Update Utility") << name;
                 EXPECT_TRUE(window.IsVisible(ids::kOk)) << name;
                 EXPECT_FALSE(window.IsVisible(ids::kCancel)) << name;
                 EXPECT_FALSE(window.IsEnabled(ids::kCancel)) << name;
               })
        .RequestEveryShutdown(true)
        .Press(ids::kOk);
    EXPECT_EQ(test::RunScripted(notice, std::move(scenario)), NoticeDialog::kOk) << name;
    std::intptr_t answer = 0;
    EXPECT_FALSE(notice.OnGuardMessage(platform::kWmPowerBroadcast, 0, answer)) << name;
  }
}

TEST(NoticeDialog, TheRebootPairShowsItsCallersTextInFullAndItsCancelButtonGivesTwo) {
  struct Case {
    MessageLanguage language;
    int template_id;
    int text_control;
    const TextPair* text;
    std::string cancel_caption;
    std::string shown;
  };
  const std::vector<Case> cases{
      {MessageLanguage::kEnglish, 140, 105, &texts::kRebootWillResume, "CANCEL",
       "Change system configuration and restart for update firmware.\r\nPlease update firmware "
       "after restart."},
      {MessageLanguage::kJapanese, 141, 106, &texts::kRebootRunAgain, "キャンセル",
       "ファームウェアを書き換えられるようシステム設定を変更して再起動します。\r\n"
       "再起動後もう一度このプログラムを実行して下さい。"},
  };
  for (const Case& c : cases) {
    for (const int button : {ids::kOk, ids::kRebootCancel}) {
      NoticeDialog notice(Notice::kReboot, c.language);
      notice.SetMessageText(c.text->In(c.language));
      Scenario scenario;
      scenario
          .Opens(c.template_id,
                 [&](const ScriptedWindow& window) {
                   EXPECT_EQ(window.Utf8Text(c.text_control), c.shown);
                   EXPECT_EQ(window.Utf8Text(ids::kRebootCancel), c.cancel_caption);
                   EXPECT_EQ(window.KindOf(ids::kRebootCancel), ControlKind::kDefaultButton);
                   EXPECT_EQ(window.KindOf(ids::kOk), ControlKind::kPushButton);
                 })
          .Press(button);
      EXPECT_EQ(test::RunScripted(notice, std::move(scenario)),
                button == ids::kOk ? NoticeDialog::kOk : NoticeDialog::kCancelled);
    }
  }
}

// Command 1006 is the cancel button of the reboot pair only; any other notice goes on
// waiting for its OK.
TEST(NoticeDialog, OnlyTheRebootPairTakesTheCancelButtonsCommand) {
  for (const Expected& expected : AllNotices()) {
    if (expected.notice == Notice::kReboot) {
      continue;
    }
    NoticeDialog notice(expected.notice, expected.language);
    SCOPED_TRACE(notice.TemplateId());
    Scenario scenario;
    scenario.Opens(notice.TemplateId())
        .Command(ids::kRebootCancel)
        .Verify([](const ScriptedWindow& window) { EXPECT_FALSE(window.Ended()); })
        .RequestShutdown(platform::kWmQueryEndSession, 0, true)
        .Press(ids::kOk);
    EXPECT_EQ(test::RunScripted(notice, std::move(scenario)), NoticeDialog::kOk);
  }
}

// The cancel notice's result decides whether the settings are restored, so a stray Escape or
// close shortcut must not answer it.
TEST(NoticeDialog, EscapeAndTheCloseShortcutLeaveEveryNoticeOpen) {
  for (const Notice kind : {Notice::kCancel, Notice::kReboot}) {
    NoticeDialog notice(kind, MessageLanguage::kEnglish);
    Scenario scenario;
    scenario.Opens(notice.TemplateId())
        .Escape()
        .RequestClose()
        .Verify([](const ScriptedWindow& window) { EXPECT_FALSE(window.Ended()); })
        .RequestShutdown(platform::kWmQueryEndSession, 0, true)
        .Press(ids::kOk);
    EXPECT_EQ(test::RunScripted(notice, std::move(scenario)), NoticeDialog::kOk);
  }
}

}  // namespace
}  // namespace fwu::dialogs
