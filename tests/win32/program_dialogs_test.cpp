// The program's own dialogs on their real templates under the Windows host, worked by window
// messages as a user works them: titles and texts in the system's language, buttons and their
// results, Escape and the close request, and the shutdown guard's answers before and after the
// user's choice.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dialogs/agreement_dialog.h"
#include "dialogs/notice_dialog.h"
#include "drive/aspi_transport.h"
#include "drive/drive_transport.h"
#include "drive/identity.h"
#include "drive/pass_through_transport.h"
#include "platform/win32/handle_cast.h"
#include "platform/win32/win32_aspi_library.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_dialog_host.h"
#include "platform/win32/win32_locale.h"
#include "platform/win32/win32_pass_through_driver.h"
#include "platform/win32/win32_system_services.h"
#include "platform/win32/win32_threads.h"
#include "platform/win32/windows_api.h"
#include "resources/agreement_texts.h"
#include "resources/dialog_captions.h"
#include "resources/dialog_ids.h"
#include "resources/message_language.h"
#include "resources/notice_texts.h"
#include "resources/update_texts.h"
#include "update/update_dialog.h"
#include "win32/modal_script.h"
#include "win32/window_probe.h"

namespace fwu::win32 {
namespace {

using test::Click;
using test::ControlTextOf;
using test::RunModalWithScript;
using test::WaitUntil;
using test::WindowTextOf;

MessageLanguage SystemLanguage() {
  return CurrentMessageLanguage(Win32Locale());
}

// The answers to a request to log off, the end of the session, a suspend request and the two
// power queries.
std::vector<LRESULT> GuardAnswers(HWND dialog) {
  return {SendMessageA(dialog, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF),
          SendMessageA(dialog, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF),
          SendMessageA(dialog, platform::kWmPower, platform::kPwrSuspendRequest, 0),
          SendMessageA(dialog, WM_POWERBROADCAST, PBT_APMQUERYSUSPEND, 0),
          SendMessageA(dialog, WM_POWERBROADCAST, PBT_APMQUERYSTANDBY, 0)};
}

const std::vector<LRESULT> kRefused{0, 0, -1, BROADCAST_QUERY_DENY, BROADCAST_QUERY_DENY};

// Passes everything to the dialog under test and, right after each command and close request
// has been handled (the dialog may have ended itself, but its window is still there), sends it
// the system's requests to end the session, suspend and stand by: it records whether the
// dialog still refused any of them itself, and what the request to log off came to.
class ChoiceWatcher final : public platform::DialogLogic {
 public:
  explicit ChoiceWatcher(platform::DialogLogic& logic) : logic_(logic) {}

  std::vector<LRESULT> after_command;
  std::vector<bool> refused_after_command;

  int TemplateId() const override { return logic_.TemplateId(); }
  void OnInitDialog(platform::DialogWindow& window) override { logic_.OnInitDialog(window); }
  void OnCommand(platform::DialogWindow& window, int command) override {
    logic_.OnCommand(window, command);
    Probe(window);
  }
  void OnSelectionChange(platform::DialogWindow& window, int control) override {
    logic_.OnSelectionChange(window, control);
  }
  void OnTimer(platform::DialogWindow& window, std::uint32_t id) override {
    logic_.OnTimer(window, id);
  }
  void OnCloseRequest(platform::DialogWindow& window) override {
    logic_.OnCloseRequest(window);
    Probe(window);
  }
  bool OnPaint(platform::DialogWindow& window) override { return logic_.OnPaint(window); }
  bool OnSystemCommand(platform::DialogWindow& window, std::uint32_t command) override {
    return logic_.OnSystemCommand(window, command);
  }
  bool OnSetCursor(platform::DialogWindow& window) override { return logic_.OnSetCursor(window); }
  int DragIcon() const override { return logic_.DragIcon(); }
  bool OnGuardMessage(std::uint32_t message, std::uintptr_t parameter,
                      std::intptr_t& answer) override {
    const bool refused = logic_.OnGuardMessage(message, parameter, answer);
    refused_ = refused_ || refused;
    return refused;
  }

 private:
  void Probe(const platform::DialogWindow& window) {
    HWND dialog = PointerFrom<HWND>(window.Handle());
    refused_ = false;
    after_command.push_back(GuardAnswers(dialog).front());
    refused_after_command.push_back(refused_);
  }

  platform::DialogLogic& logic_;
  bool refused_ = false;
};

bool TitleBecomes(HWND dialog, const std::string& title) {
  return WaitUntil([&] { return WindowTextOf(dialog) == title; }, test::kDialogTimeoutMs);
}

TEST(ProgramDialogs, AgreementShowsTheTermsAndAgreeEndsItWithOne) {
  const MessageLanguage language = SystemLanguage();
  Win32DialogHost host;
  dialogs::AgreementDialog agreement(language);
  agreement.SetModelName(kTargetProduct);
  ChoiceWatcher watcher(agreement);
  const int result = RunModalWithScript(host, watcher, ids::kAgreementText, [&](HWND dialog) {
    // The title and the Japanese captions are put in when the dialog paints.
    EXPECT_TRUE(TitleBecomes(dialog, "Firmware Update Utility For  DVD-ROM XT-M7731"));
    EXPECT_TRUE(WaitUntil(
        [&] { return ControlTextOf(dialog, ids::kAgree) == texts::kAgreeCaption.In(language); },
        test::kDialogTimeoutMs));
    EXPECT_EQ(ControlTextOf(dialog, ids::kNotAgree), texts::kNotAgreeCaption.In(language));
    EXPECT_EQ(ControlTextOf(dialog, ids::kAgreementText), agreement.AgreementText());
    EXPECT_EQ(SendDlgItemMessageA(dialog, ids::kAgreementText, EM_GETLIMITTEXT, 0, 0),
              static_cast<LRESULT>(dialogs::AgreementDialog::kTextLimit));
    EXPECT_EQ(GuardAnswers(dialog), kRefused);
    Click(dialog, ids::kAgree);
  });
  EXPECT_EQ(result, dialogs::AgreementDialog::kAgreed);
  EXPECT_EQ(watcher.after_command, std::vector<LRESULT>{TRUE});
  EXPECT_EQ(watcher.refused_after_command, std::vector<bool>{false});
}

// The close box and Escape both mean "Not Agree"; after either the session may end again.
TEST(ProgramDialogs, AgreementCloseBoxAndEscapeMeanNotAgree) {
  for (const bool escape : {false, true}) {
    SCOPED_TRACE(escape ? "Escape" : "close box");
    Win32DialogHost host;
    dialogs::AgreementDialog agreement(SystemLanguage());
    agreement.SetModelName(kTargetProduct);
    ChoiceWatcher watcher(agreement);
    const int result =
        RunModalWithScript(host, watcher, ids::kAgreementText, [escape](HWND dialog) {
          if (escape) {
            test::PressEscape(dialog);
          } else {
            PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
          }
        });
    EXPECT_EQ(result, dialogs::AgreementDialog::kNotAgreed);
    EXPECT_EQ(agreement.ClosePermission(), 1);
    EXPECT_EQ(watcher.refused_after_command, std::vector<bool>{false});
  }
}

struct NoticeCase {
  dialogs::Notice notice;
  MessageLanguage language;
};

std::vector<NoticeCase> NoticesOfThisSystem() {
  std::vector<NoticeCase> cases;
  for (const auto notice :
       {dialogs::Notice::kWarning, dialogs::Notice::kCancel, dialogs::Notice::kEnd,
        dialogs::Notice::kStart, dialogs::Notice::kReboot}) {
    cases.push_back({notice, MessageLanguage::kEnglish});
    // The Japanese texts are code page 932 bytes; only a Japanese system shows them as such.
    if (test::JapaneseSystem()) {
      cases.push_back({notice, MessageLanguage::kJapanese});
    }
  }
  return cases;
}

TEST(ProgramDialogs, EachNoticeShowsItsTextUnderTheCommonTitleAndOkEndsItWithOne) {
  for (const NoticeCase& notice_case : NoticesOfThisSystem()) {
    Win32DialogHost host;
    dialogs::NoticeDialog notice(notice_case.notice, notice_case.language);
    if (notice_case.notice == dialogs::Notice::kReboot) {
      notice.SetMessageText(texts::kRebootWillResume.In(notice_case.language));
    }
    const std::string text = notice.MessageText();
    const int text_control = notice.Resource().text_control;
    SCOPED_TRACE(notice.TemplateId());
    ChoiceWatcher watcher(notice);
    const int result = RunModalWithScript(host, watcher, text_control, [&](HWND dialog) {
      EXPECT_TRUE(TitleBecomes(dialog, "Firmware Update Utility"));
      EXPECT_EQ(ControlTextOf(dialog, text_control), text);
      EXPECT_FALSE(test::ControlVisible(dialog, ids::kCancel));
      EXPECT_EQ(test::ControlVisible(dialog, ids::kRebootCancel),
                notice_case.notice == dialogs::Notice::kReboot);
      EXPECT_EQ(GuardAnswers(dialog), kRefused);
      // Neither Escape nor the keyboard's close shortcut dismisses a notice.
      test::PressEscape(dialog);
      PostMessageA(dialog, WM_CLOSE, 0, 0);
      Sleep(200);
      EXPECT_TRUE(IsWindowVisible(dialog));
      Click(dialog, ids::kOk);
    });
    EXPECT_EQ(result, dialogs::NoticeDialog::kOk);
    ASSERT_FALSE(watcher.after_command.empty());
    EXPECT_EQ(watcher.after_command.back(), TRUE);
    EXPECT_FALSE(watcher.refused_after_command.back());
  }
}

TEST(ProgramDialogs, RebootNoticesCancelButtonEndsItWithTwo) {
  for (const NoticeCase& notice_case : NoticesOfThisSystem()) {
    if (notice_case.notice != dialogs::Notice::kReboot) {
      continue;
    }
    Win32DialogHost host;
    dialogs::NoticeDialog notice(notice_case.notice, notice_case.language);
    notice.SetMessageText(texts::kRebootRunAgain.In(notice_case.language));
    const int result =
        RunModalWithScript(host, notice, notice.Resource().text_control, [&](HWND dialog) {
          EXPECT_EQ(ControlTextOf(dialog, ids::kRebootCancel),
                    notice_case.language == MessageLanguage::kJapanese
                        ? std::string(captions::kRebootCancelJapanese)
                        : std::string("CANCEL"));
          Click(dialog, ids::kRebootCancel);
        });
    EXPECT_EQ(result, dialogs::NoticeDialog::kCancelled);
  }
}

// The main dialog on the Windows seams, with the pass-through transport, which finds no drive
// on this machine.
struct MainDialogMachine {
  Win32SystemServices system;
  Win32Locale locale;
  Win32AspiLibrary aspi;
  Win32PassThroughDriver driver;
  Win32Threads threads;
  Win32Clock clock;
  Win32DialogHost host{&threads};
  AspiTransport aspi_transport{aspi, system, host, locale, clock};
  PassThroughTransport pass_through{driver, locale};
  DriveTransport transport{aspi_transport, pass_through};
};

TEST(ProgramDialogs, MainDialogStaysOpenUntilCancelAndShowsTheAboutBox) {
  if ((GetVersion() & 0x80000000U) != 0) {
    GTEST_SKIP() << "built for the pass-through path of the NT family";
  }
  const MessageLanguage language = SystemLanguage();
  MainDialogMachine machine;
  machine.transport.SetTransportMode(DriveTransport::kModePassThrough);
  UpdateDialog main(machine.host, machine.threads, machine.clock, machine.locale,
                    machine.transport);
  ChoiceWatcher watcher(main);
  const DWORD thread = GetCurrentThreadId();
  RunModalWithScript(machine.host, watcher, ids::kDriveList, [&](HWND dialog) {
    EXPECT_TRUE(TitleBecomes(dialog, "Firmware Update Utility Ver.5.2.0 for  DVD-ROM XT-M7731"));
    EXPECT_EQ(ControlTextOf(dialog, ids::kDriveLabel), texts::kDriveLabel.In(language));
    EXPECT_TRUE(WaitUntil(
        [&] {
          return ControlTextOf(dialog, ids::kUpdateStart) ==
                 texts::kUpdateStartCaption.In(language);
        },
        test::kDialogTimeoutMs));
    EXPECT_EQ(ControlTextOf(dialog, ids::kCancelButton), texts::kCancelCaption.In(language));
    char menu_text[64] = {};
    GetMenuStringA(GetMenu(dialog), ids::kMenuAbout, menu_text, sizeof menu_text, MF_BYCOMMAND);
    EXPECT_EQ(std::string(menu_text), texts::kAboutMenuItem.In(language));
    EXPECT_FALSE(test::ControlEnabled(dialog, ids::kUpdateStart));
    EXPECT_FALSE(test::ControlVisible(dialog, ids::kCurrentRevision));
    EXPECT_EQ(GuardAnswers(dialog), kRefused);

    // Neither Escape nor the close request ends the main window.
    test::PressEscape(dialog);
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    Sleep(300);
    EXPECT_TRUE(IsWindowVisible(dialog));

    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(ids::kMenuAbout, 0), 0);
    HWND about = nullptr;
    EXPECT_TRUE(WaitUntil(
        [&] {
          test::DialogQuery query;
          query.thread = thread;
          query.control = ids::kAboutModel;
          about = test::FindDialog(query);
          return about != nullptr && WindowTextOf(about) == "About  Firmware Update Utility";
        },
        test::kDialogTimeoutMs));
    if (about != nullptr) {
      EXPECT_EQ(ControlTextOf(about, ids::kAboutModel), "DVD-ROM XT-M7731");
      Click(about, ids::kOk);
      EXPECT_TRUE(WaitUntil([&] { return IsWindow(about) == FALSE; }, test::kDialogTimeoutMs));
    }

    // The system menu's About entry: its own command opens the box, its neighbours do not.
    const auto find_about = [&] {
      test::DialogQuery query;
      query.thread = thread;
      query.control = ids::kAboutModel;
      HWND found = test::FindDialog(query);
      return found != nullptr && WindowTextOf(found) == "About  Firmware Update Utility" ? found
                                                                                         : nullptr;
    };
    PostMessageA(dialog, WM_SYSCOMMAND, ids::kSystemMenuAbout + 1, 0);
    Sleep(300);
    EXPECT_EQ(find_about(), nullptr) << "system command 0x0011 opened the About box";
    PostMessageA(dialog, WM_SYSCOMMAND, ids::kSystemMenuAbout, 0);
    about = nullptr;
    EXPECT_TRUE(WaitUntil(
        [&] {
          about = find_about();
          return about != nullptr;
        },
        test::kDialogTimeoutMs));
    if (about != nullptr) {
      Click(about, ids::kOk);
      EXPECT_TRUE(WaitUntil([&] { return IsWindow(about) == FALSE; }, test::kDialogTimeoutMs));
    }
    EXPECT_EQ(GuardAnswers(dialog), kRefused);
    Click(dialog, ids::kCancelButton);
  });
  EXPECT_EQ(main.RestoreResult(), UpdateDialog::kRestoreNothing);
  EXPECT_EQ(main.ClosePermission(), 1);
  ASSERT_FALSE(watcher.after_command.empty());
  EXPECT_EQ(watcher.after_command.back(), TRUE);
  EXPECT_FALSE(watcher.refused_after_command.back());
}

}  // namespace
}  // namespace fwu::win32
