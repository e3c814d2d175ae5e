// The dialog host on real dialogs built from the program's templates: what the window sends
// reaches the logic (commands, the drive list's selection, the close request, Escape, system
// commands, timers, the cursor, the drag icon, the shutdown guard's messages, with the logic's
// answers as the results), and what the logic asks of the window reaches the real controls.
#include <atomic>
#include <cwchar>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/win32/handle_cast.h"
#include "platform/win32/win32_dialog_host.h"
#include "platform/win32/win32_threads.h"
#include "platform/win32/windows_api.h"
#include "resources/dialog_ids.h"
#include "win32/modal_script.h"
#include "win32/window_probe.h"

namespace fwu::win32 {
namespace {

using test::Click;
using test::RunModalWithScript;
using test::WaitUntil;

constexpr int kEndCommand = 1007;  // the main dialog's CANCEL

// A dialog logic that records what reaches it and does what the test asks in between.
class RecordingLogic : public platform::DialogLogic {
 public:
  explicit RecordingLogic(int template_id) : template_id_(template_id) {}

  std::function<void(platform::DialogWindow&)> on_init;
  std::function<void(platform::DialogWindow&, int)> on_command;
  std::vector<std::string> events;
  bool wants_wait_cursor = false;
  bool guard = true;
  int timer_ticks = 0;
  std::uint32_t system_command = 0;

  int TemplateId() const override { return template_id_; }
  void OnInitDialog(platform::DialogWindow& window) override {
    if (on_init) {
      on_init(window);
    }
  }
  void OnCommand(platform::DialogWindow& window, int command) override {
    events.push_back("command " + std::to_string(command));
    if (on_command) {
      on_command(window, command);
    }
    if (command == kEndCommand) {
      window.End(kEndCommand);
    }
  }
  void OnSelectionChange(platform::DialogWindow& window, int control) override {
    events.push_back("selection " + std::to_string(control) + " " +
                     std::to_string(window.ListSelection(control)));
  }
  void OnTimer(platform::DialogWindow& window, std::uint32_t id) override {
    if (id == ids::kProgressTimer && ++timer_ticks == 3) {
      window.StopTimer(id);
      window.End(3);
    }
  }
  void OnCloseRequest(platform::DialogWindow& /*window*/) override { events.emplace_back("close"); }
  bool OnSystemCommand(platform::DialogWindow& /*window*/, std::uint32_t command) override {
    system_command = command;
    return (command & 0xFFF0U) == ids::kSystemMenuAbout;
  }
  bool OnSetCursor(platform::DialogWindow& /*window*/) override { return wants_wait_cursor; }
  int DragIcon() const override { return ids::kIcon; }
  bool OnGuardMessage(std::uint32_t message, std::uintptr_t parameter,
                      std::intptr_t& answer) override {
    if (!guard) {
      return false;
    }
    answer = static_cast<std::intptr_t>(message * 10 + parameter);
    return true;
  }

 private:
  int template_id_;
};

TEST(Win32DialogHost, WindowEventsReachTheLogic) {
  Win32DialogHost host;
  RecordingLogic logic(ids::kUpdateDialog);
  logic.on_init = [](platform::DialogWindow& window) {
    window.AddListEntry(ids::kDriveList, "0:1: first");
    window.AddListEntry(ids::kDriveList, "0:2: second");
    window.SelectListEntry(ids::kDriveList, 0);
  };
  const int result = RunModalWithScript(host, logic, ids::kDriveList, [](HWND dialog) {
    HWND list = GetDlgItem(dialog, ids::kDriveList);
    // The user picks the second drive: the list changes, then tells its dialog.
    SendMessageA(list, CB_SETCURSEL, 1, 0);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(ids::kDriveList, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(ids::kMenuAbout, 0), 0);
    Sleep(200);
    test::PressEscape(dialog);
    Sleep(200);
    EXPECT_TRUE(IsWindowVisible(dialog));
    Click(dialog, kEndCommand);
  });
  EXPECT_EQ(result, kEndCommand);
  EXPECT_EQ(logic.events, (std::vector<std::string>{"selection 1000 1", "close", "command 32772",
                                                    "command 2", "command 1007"}));
}

TEST(Win32DialogHost, TimerExpiriesReachTheLogicUntilItStopsThem) {
  Win32DialogHost host;
  RecordingLogic logic(ids::kAboutDialog);
  logic.on_init = [](platform::DialogWindow& window) {
    EXPECT_TRUE(window.StartTimer(ids::kProgressTimer, 20));
  };
  EXPECT_EQ(host.RunModal(logic, 0), 3);
  EXPECT_EQ(logic.timer_ticks, 3);
}

TEST(Win32DialogHost, GuardAnswersAreTheMessagesResults) {
  Win32DialogHost host;
  RecordingLogic logic(ids::kAboutDialog);
  logic.on_command = [&logic](platform::DialogWindow& /*window*/, int command) {
    logic.guard = command != ids::kOk;
  };
  RunModalWithScript(host, logic, ids::kAboutModel, [&logic](HWND dialog) {
    EXPECT_EQ(SendMessageA(dialog, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), 0x11 * 10);
    EXPECT_EQ(SendMessageA(dialog, WM_POWERBROADCAST, PBT_APMQUERYSTANDBY, 0), 0x218 * 10 + 1);
    // Once the logic leaves the messages alone, the system's own answers come back.
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(ids::kOk, BN_CLICKED), 0);
    EXPECT_FALSE(logic.guard);
    EXPECT_EQ(SendMessageA(dialog, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(kEndCommand, 0), 0);
  });
}

// A dialog that cannot be created gives -1, as DialogBoxParamA does, and its logic hears
// nothing.
TEST(Win32DialogHost, ADialogThatCannotBeCreatedGivesMinusOne) {
  Win32DialogHost host;
  RecordingLogic logic(4711);
  bool initialised = false;
  logic.on_init = [&initialised](platform::DialogWindow& /*window*/) { initialised = true; };
  EXPECT_EQ(host.RunModal(logic, 0), platform::kDialogFailed);
  EXPECT_FALSE(initialised);
}

// A handler that has to wait keeps its dialog answering: meanwhile the system's requests and
// further commands reach the logic, and the wait ends once its condition holds.
TEST(Win32DialogHost, AHandlerThatWaitsKeepsTheDialogAnswering) {
  Win32DialogHost host;
  RecordingLogic logic(ids::kUpdateDialog);
  std::atomic<bool> released{false};
  bool waited = false;
  logic.on_command = [&](platform::DialogWindow& /*window*/, int command) {
    if (command == ids::kUpdateStart) {
      waited = host.HandleMessagesUntil([&released] { return released.load(); }, 50);
    }
  };
  RunModalWithScript(host, logic, ids::kDriveList, [&](HWND dialog) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(ids::kUpdateStart, 0), 0);
    Sleep(200);
    DWORD_PTR answer = 0;
    EXPECT_NE(SendMessageTimeoutA(dialog, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL,
                                  2000, &answer),
              0)
        << "the waiting dialog did not answer";
    EXPECT_EQ(answer, 0x11U * 10);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(ids::kMenuAbout, 0), 0);
    Sleep(200);
    released = true;
    Sleep(200);
    Click(dialog, kEndCommand);
  });
  EXPECT_TRUE(waited);
  EXPECT_EQ(logic.events,
            (std::vector<std::string>{"command 1006", "command 32772", "command 1007"}));
}

TEST(Win32DialogHost, WaitCursorWhileTheHostOrTheLogicAsksForIt) {
  Win32DialogHost host;
  RecordingLogic logic(ids::kAboutDialog);
  std::vector<bool> waiting;
  logic.on_command = [&](platform::DialogWindow& window, int command) {
    if (command != ids::kOk) {
      return;
    }
    HWND dialog = PointerFrom<HWND>(window.Handle());
    HCURSOR wait = LoadCursorA(nullptr, IDC_WAIT);
    const auto ask = [&] {
      SetCursor(nullptr);
      SendMessageA(dialog, WM_SETCURSOR, reinterpret_cast<WPARAM>(dialog),
                   MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
      waiting.push_back(GetCursor() == wait);
    };
    ask();
    logic.wants_wait_cursor = true;
    ask();
    logic.wants_wait_cursor = false;
    host.BeginWaitCursor();
    host.BeginWaitCursor();
    host.EndWaitCursor();
    ask();
    host.EndWaitCursor();
    ask();
    window.End(1);
  };
  RunModalWithScript(host, logic, ids::kAboutModel, [](HWND dialog) { Click(dialog, ids::kOk); });
  EXPECT_EQ(waiting, (std::vector<bool>{false, true, true, false}));
}

TEST(Win32DialogHost, FurnitureOfTheWindow) {
  Win32DialogHost host;
  RecordingLogic about(ids::kAboutDialog);
  about.on_init = [](platform::DialogWindow& window) {
    EXPECT_TRUE(window.AppendSystemMenuEntry(ids::kSystemMenuAbout, "About it..."));
  };
  RunModalWithScript(host, about, ids::kAboutModel, [&about](HWND dialog) {
    HMENU system_menu = GetSystemMenu(dialog, FALSE);
    char text[64] = {};
    GetMenuStringA(system_menu, ids::kSystemMenuAbout, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ(text, "About it...");
    SendMessageA(dialog, WM_SYSCOMMAND, ids::kSystemMenuAbout, 0);
    EXPECT_EQ(about.system_command, ids::kSystemMenuAbout);
    EXPECT_EQ(PointerFrom<HICON>(SendMessageA(dialog, WM_QUERYDRAGICON, 0, 0)),
              LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(ids::kIcon)));
    // A system command the logic leaves alone takes its usual course: SC_CLOSE closes.
    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    Sleep(200);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(kEndCommand, 0), 0);
  });
  EXPECT_EQ(about.events, (std::vector<std::string>{"close", "command 1007"}));

  RecordingLogic main(ids::kUpdateDialog);
  main.on_init = [](platform::DialogWindow& window) {
    EXPECT_FALSE(window.AppendSystemMenuEntry(ids::kSystemMenuAbout, "About it..."));
    window.SetMenuItemText(ids::kMenuAbout, "Info");
    window.SetIcon(ids::kIcon);
    window.SetProgressRange(ids::kProgressBar, 0, 100);
    window.SetProgress(ids::kProgressBar, 42);
    window.SetTextLimit(ids::kCurrentRevision, 4);
    window.ShowControl(ids::kCurrentRevision, true);
    window.EnableControl(ids::kUpdateStart, true);
    window.SetControlText(ids::kStatusLine, "Scan Complete.");
  };
  RunModalWithScript(host, main, ids::kDriveList, [](HWND dialog) {
    char text[64] = {};
    GetMenuStringA(GetMenu(dialog), ids::kMenuAbout, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ(text, "Info");
    EXPECT_NE(SendMessageA(dialog, WM_GETICON, ICON_BIG, 0), 0);
    EXPECT_NE(SendMessageA(dialog, WM_GETICON, ICON_SMALL, 0), 0);
    EXPECT_EQ(test::ProgressPosition(dialog, ids::kProgressBar), 42);
    EXPECT_EQ(SendDlgItemMessageA(dialog, ids::kCurrentRevision, EM_GETLIMITTEXT, 0, 0), 4);
    EXPECT_TRUE(test::ControlVisible(dialog, ids::kCurrentRevision));
    EXPECT_TRUE(test::ControlEnabled(dialog, ids::kUpdateStart));
    EXPECT_EQ(test::ControlTextOf(dialog, ids::kStatusLine), "Scan Complete.");
    Click(dialog, kEndCommand);
  });
}

// What the dialogs told the system about the end of the session, as the calls of Windows Vista
// and later would receive it (Wine has the calls, but they only fail).
std::vector<std::string> g_reason_calls;

int __stdcall RecordCreate(void* /*window*/, const wchar_t* reason) {
  g_reason_calls.push_back("create " + std::string(reason, reason + std::wcslen(reason)));
  return TRUE;
}

int __stdcall RecordDestroy(void* /*window*/) {
  g_reason_calls.emplace_back("destroy");
  return TRUE;
}

TEST(Win32DialogHost, UpdateInProgressIsGivenAsTheReasonForRefusingToEndTheSession) {
  g_reason_calls.clear();
  Win32Threads threads;
  Win32DialogHost host(&threads, L"Now Updating...", nullptr, {&RecordCreate, &RecordDestroy});
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  const platform::ThreadHandle worker = threads.CreateSuspended([release] {
    WaitForSingleObject(release, test::kDialogTimeoutMs);
    return 0U;
  });
  RecordingLogic logic(ids::kAboutDialog);
  RunModalWithScript(host, logic, ids::kAboutModel, [&](HWND dialog) {
    EXPECT_EQ(host.ShutdownReason().Window(), nullptr);
    threads.Resume(worker);
    WaitUntil([&] { return threads.Running() == 1; }, test::kDialogTimeoutMs);
    SendMessageA(dialog, WM_NULL, 0, 0);
    EXPECT_EQ(host.ShutdownReason().Window(), dialog);
    SendMessageA(dialog, WM_NULL, 0, 0);
    SetEvent(release);
    WaitUntil([&] { return threads.Running() == 0; }, test::kDialogTimeoutMs);
    SendMessageA(dialog, WM_NULL, 0, 0);
    EXPECT_EQ(host.ShutdownReason().Window(), nullptr);
    // Once more while the window goes away: the reason goes with it.
    threads.Resume(threads.CreateSuspended([] { return 0U; }));
    Click(dialog, kEndCommand);
  });
  threads.CloseThread(worker);
  CloseHandle(release);
  EXPECT_EQ(g_reason_calls.at(0), "create Now Updating...");
  EXPECT_EQ(g_reason_calls.at(1), "destroy");
  EXPECT_EQ(g_reason_calls.size() % 2, 0U);
}

TEST(Win32DialogHost, ShutdownReasonIsLeftAloneWhereTheSystemLacksIt) {
  ShutdownBlockReason reason(L"Now Updating...", {});
  EXPECT_FALSE(reason.Available());
  int window = 0;
  reason.Update(&window, true);
  EXPECT_EQ(reason.Window(), nullptr);
}

TEST(Win32DialogHost, MessageBoxShowsTheTextAndReturnsTheButton) {
  Win32DialogHost host;
  const DWORD thread = GetCurrentThreadId();
  std::string shown;
  std::thread driver([&] {
    test::DialogQuery query;
    query.thread = thread;
    HWND box = test::WaitForDialog(query, test::kDialogTimeoutMs);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(test::WindowTextOf(box), "Firmware Update Utility");
    shown = test::ChildTextsOf(box);
    Click(box, IDOK);
  });
  EXPECT_EQ(host.ShowMessageBox(0, "Update Failed.", "Firmware Update Utility", platform::kMbOk),
            IDOK);
  driver.join();
  EXPECT_NE(shown.find("Update Failed."), std::string::npos);
}

}  // namespace
}  // namespace fwu::win32
