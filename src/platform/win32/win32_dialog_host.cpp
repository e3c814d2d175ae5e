#include "platform/win32/win32_dialog_host.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "platform/win32/handle_cast.h"
#include "platform/win32/win32_dialog_window.h"
#include "platform/win32/win32_threads.h"
#include "platform/win32/windows_api.h"

namespace fwu::win32 {

namespace {

// One dialog in its modal run: the logic, and its window once the dialog exists.
struct DialogFrame {
  Win32DialogHost* host = nullptr;
  platform::DialogLogic* logic = nullptr;
  std::optional<Win32DialogWindow> window;
};

bool HasClass(HWND window, const char* class_name) {
  char name[32] = {};
  return GetClassNameA(window, name, sizeof name) > 0 && lstrcmpiA(name, class_name) == 0;
}

bool IsGuardMessage(UINT message) {
  return message == platform::kWmQueryEndSession || message == platform::kWmEndSession ||
         message == platform::kWmPower || message == platform::kWmPowerBroadcast;
}

// Where a modal dialog opens, as the dialog framework of the program's platform places it: a
// dialog that its initialisation neither showed nor moved is centred over its owner (or the
// work area when it has none, or the owner cannot be seen), and kept within the work area.
void CenterUnplacedDialog(HWND dialog, const RECT& before) {
  RECT after{};
  GetWindowRect(dialog, &after);
  if ((GetWindowLongA(dialog, GWL_STYLE) & (WS_VISIBLE | WS_CHILD)) != 0 ||
      after.left != before.left || after.top != before.top) {
    return;
  }
  RECT work{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  RECT around = work;
  HWND owner = GetWindow(dialog, GW_OWNER);
  if (owner != nullptr && IsWindowVisible(owner) != FALSE && IsIconic(owner) == FALSE) {
    GetWindowRect(owner, &around);
  }
  const LONG width = after.right - after.left;
  const LONG height = after.bottom - after.top;
  LONG left = (around.left + around.right - width) / 2;
  LONG top = (around.top + around.bottom - height) / 2;
  left = std::max(work.left, std::min(left, work.right - width));
  top = std::max(work.top, std::min(top, work.bottom - height));
  SetWindowPos(dialog, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// A dialog procedure's answer to a message whose result is not its return value.
INT_PTR Answer(HWND dialog, LONG_PTR result) {
  SetWindowLongPtrA(dialog, DWLP_MSGRESULT, result);
  return TRUE;
}

}  // namespace

class Win32DialogHost::Procedure {
 public:
  static INT_PTR CALLBACK Run(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
      auto* frame = PointerFrom<DialogFrame*>(lparam);
      SetWindowLongPtrA(dialog, DWLP_USER, lparam);
      frame->window.emplace(dialog, frame->host->resource_module_);
      RECT before{};
      GetWindowRect(dialog, &before);
      frame->logic->OnInitDialog(*frame->window);
      CenterUnplacedDialog(dialog, before);
      frame->host->UpdateShutdownReason(dialog);
      // The dialog manager puts the focus on the first control that takes it.
      return TRUE;
    }
    auto* frame = PointerFrom<DialogFrame*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (frame == nullptr || !frame->window) {
      return FALSE;
    }
    if (message == WM_DESTROY) {
      // Nothing reaches the logic once the window is going away.
      frame->host->shutdown_reason_.WindowClosing(dialog);
      SetWindowLongPtrA(dialog, DWLP_USER, 0);
      return FALSE;
    }
    const INT_PTR result = Handle(*frame, dialog, message, wparam, lparam);
    frame->host->UpdateShutdownReason(dialog);
    return result;
  }

 private:
  static INT_PTR Handle(DialogFrame& frame, HWND dialog, UINT message, WPARAM wparam,
                        LPARAM lparam) {
    platform::DialogLogic& logic = *frame.logic;
    Win32DialogWindow& window = *frame.window;
    if (IsGuardMessage(message)) {
      std::intptr_t answer = 0;
      if (logic.OnGuardMessage(message, wparam, answer)) {
        return Answer(dialog, answer);
      }
      return FALSE;
    }
    switch (message) {
      case WM_COMMAND:
        return Command(logic, window, LOWORD(wparam), HIWORD(wparam), PointerFrom<HWND>(lparam));
      case WM_CLOSE:
        // The logic decides what a close request means; the dialog manager would otherwise
        // turn it into the cancel command.
        logic.OnCloseRequest(window);
        return TRUE;
      case WM_SYSCOMMAND:
        return logic.OnSystemCommand(window, static_cast<std::uint32_t>(wparam)) ? TRUE : FALSE;
      case WM_TIMER:
        logic.OnTimer(window, static_cast<std::uint32_t>(wparam));
        // Every expiry also takes its usual course.
        return FALSE;
      case WM_PAINT:
        window.ForgetPainting();
        if (!logic.OnPaint(window)) {
          return FALSE;
        }
        if (!window.PaintedItself()) {
          ValidateRect(dialog, nullptr);
        }
        return TRUE;
      case WM_SETCURSOR:
        if (frame.host->WaitCursorShown() || logic.OnSetCursor(window)) {
          frame.host->ShowWaitCursor();
          return Answer(dialog, TRUE);
        }
        return FALSE;
      case WM_QUERYDRAGICON:
        if (const int icon = logic.DragIcon(); icon != 0) {
          // This message's answer is the procedure's return value itself.
          return reinterpret_cast<INT_PTR>(LoadIconA(
              static_cast<HINSTANCE>(frame.host->resource_module_), MAKEINTRESOURCEA(icon)));
        }
        return FALSE;
      default:
        return FALSE;
    }
  }

  static INT_PTR Command(platform::DialogLogic& logic, Win32DialogWindow& window, int id,
                         int notification, HWND control) {
    if (control == nullptr) {
      // A menu command (0) or an accelerator (1); Escape arrives here as the cancel command
      // when the dialog has no control with that id.
      logic.OnCommand(window, id);
      return TRUE;
    }
    if (HasClass(control, "ComboBox")) {
      if (notification == CBN_SELCHANGE) {
        logic.OnSelectionChange(window, id);
      }
      return TRUE;
    }
    if (notification == BN_CLICKED && HasClass(control, "Button")) {
      logic.OnCommand(window, id);
      return TRUE;
    }
    return FALSE;
  }
};

Win32DialogHost::Win32DialogHost(const Win32Threads* threads, std::wstring shutdown_reason,
                                 void* resource_module, ShutdownBlockReason::Calls shutdown_calls)
    : threads_(threads),
      shutdown_reason_(std::move(shutdown_reason), shutdown_calls),
      resource_module_(resource_module != nullptr ? resource_module : GetModuleHandleA(nullptr)) {}

int Win32DialogHost::RunModal(platform::DialogLogic& logic, platform::WindowHandle parent) {
  DialogFrame frame;
  frame.host = this;
  frame.logic = &logic;
  const INT_PTR result = DialogBoxParamA(
      static_cast<HINSTANCE>(resource_module_), MAKEINTRESOURCEA(logic.TemplateId()),
      PointerFrom<HWND>(parent), &Procedure::Run, reinterpret_cast<LPARAM>(&frame));
  return static_cast<int>(result);
}

bool Win32DialogHost::HandleMessagesUntil(const std::function<bool()>& done,
                                          std::uint32_t check_period_ms) {
  while (!done()) {
    if (MsgWaitForMultipleObjects(0, nullptr, FALSE, check_period_ms, QS_ALLINPUT) == WAIT_FAILED) {
      return false;
    }
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE) != FALSE) {
      if (message.message == WM_QUIT) {
        // The quit request belongs to the loop outside; it gets it back.
        PostQuitMessage(static_cast<int>(message.wParam));
        return false;
      }
      // Keys work in the active dialog as they do in its modal loop.
      HWND active = GetActiveWindow();
      if (active == nullptr || IsDialogMessageA(active, &message) == FALSE) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
      }
    }
  }
  return true;
}

int Win32DialogHost::ShowMessageBox(platform::WindowHandle owner, std::string_view text,
                                    std::string_view caption, std::uint32_t style) {
  const std::string message(text);
  const std::string title(caption);
  return MessageBoxA(PointerFrom<HWND>(owner), message.c_str(), title.c_str(), style);
}

void Win32DialogHost::Beep(std::uint32_t type) {
  MessageBeep(type);
}

void Win32DialogHost::BeginWaitCursor() {
  ++wait_cursor_count_;
  ShowWaitCursor();
}

void Win32DialogHost::EndWaitCursor() {
  if (wait_cursor_count_ == 0) {
    return;
  }
  if (--wait_cursor_count_ == 0) {
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  }
}

void Win32DialogHost::ShowWaitCursor() const {
  SetCursor(LoadCursorA(nullptr, IDC_WAIT));
}

void Win32DialogHost::UpdateShutdownReason(void* window) {
  shutdown_reason_.Update(window, threads_ != nullptr && threads_->Running() > 0);
}

}  // namespace fwu::win32
