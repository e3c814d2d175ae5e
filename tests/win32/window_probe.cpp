#include "win32/window_probe.h"

#include <vector>

#include "platform/win32/handle_cast.h"

namespace fwu::test {

namespace {

constexpr DWORD kPollMs = 20;

bool IsDialogClass(HWND window) {
  char name[16] = {};
  return GetClassNameA(window, name, sizeof name) > 0 && lstrcmpA(name, "#32770") == 0;
}

struct Search {
  const DialogQuery* query = nullptr;
  HWND found = nullptr;
};

BOOL CALLBACK Consider(HWND window, LPARAM parameter) {
  auto* search = win32::PointerFrom<Search*>(parameter);
  const DialogQuery& query = *search->query;
  DWORD process = 0;
  const DWORD thread = GetWindowThreadProcessId(window, &process);
  const bool matches = IsWindowVisible(window) != FALSE && IsDialogClass(window) &&
                       (query.process == 0 || query.process == process) &&
                       (query.thread == 0 || query.thread == thread) &&
                       (query.control == 0 || GetDlgItem(window, query.control) != nullptr) &&
                       (!query.enabled_only || IsWindowEnabled(window) != FALSE);
  if (!matches) {
    return TRUE;
  }
  search->found = window;
  return FALSE;
}

BOOL CALLBACK CollectText(HWND window, LPARAM parameter) {
  auto* texts = win32::PointerFrom<std::string*>(parameter);
  const std::string text = WindowTextOf(window);
  if (!text.empty()) {
    *texts += text;
    *texts += '\n';
  }
  return TRUE;
}

}  // namespace

HWND FindDialog(const DialogQuery& query) {
  Search search;
  search.query = &query;
  EnumWindows(&Consider, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitForDialog(const DialogQuery& query, DWORD timeout_ms) {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindDialog(query)) != nullptr; }, timeout_ms);
  return found;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeout_ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (condition()) {
      return true;
    }
    if (GetTickCount() - start >= timeout_ms) {
      return condition();
    }
    Sleep(kPollMs);
  }
}

std::string WindowTextOf(HWND window) {
  // Through WM_GETTEXT, so that a window of another process gives its text as well.
  const auto length = static_cast<int>(SendMessageA(window, WM_GETTEXTLENGTH, 0, 0));
  if (length <= 0) {
    return {};
  }
  std::vector<char> buffer(static_cast<std::size_t>(length) + 1, '\0');
  const auto copied =
      static_cast<int>(SendMessageA(window, WM_GETTEXT, static_cast<WPARAM>(length) + 1,
                                    reinterpret_cast<LPARAM>(buffer.data())));
  return std::string(buffer.data(), copied > 0 ? static_cast<std::size_t>(copied) : 0);
}

std::string ControlTextOf(HWND dialog, int control) {
  HWND item = GetDlgItem(dialog, control);
  return item == nullptr ? std::string() : WindowTextOf(item);
}

std::string ChildTextsOf(HWND dialog) {
  std::string texts;
  EnumChildWindows(dialog, &CollectText, reinterpret_cast<LPARAM>(&texts));
  return texts;
}

bool ControlEnabled(HWND dialog, int control) {
  HWND item = GetDlgItem(dialog, control);
  return item != nullptr && IsWindowEnabled(item) != FALSE;
}

bool ControlVisible(HWND dialog, int control) {
  HWND item = GetDlgItem(dialog, control);
  return item != nullptr && IsWindowVisible(item) != FALSE;
}

int ProgressPosition(HWND dialog, int control) {
  constexpr UINT kGetPosition = WM_USER + 8;  // PBM_GETPOS
  return static_cast<int>(SendDlgItemMessageA(dialog, control, kGetPosition, 0, 0));
}

void Click(HWND dialog, int control) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(control, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, control)));
}

void Choose(HWND dialog, int control, int index) {
  HWND list = GetDlgItem(dialog, control);
  SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(control, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(list));
}

void PressEscape(HWND dialog) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  HWND target = dialog;
  if (GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info) != FALSE &&
      info.hwndFocus != nullptr) {
    target = info.hwndFocus;
  }
  const UINT scan_code = MapVirtualKeyA(VK_ESCAPE, 0);
  PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, static_cast<LPARAM>(1U | (scan_code << 16U)));
  PostMessageA(target, WM_KEYUP, VK_ESCAPE,
               static_cast<LPARAM>(1U | (scan_code << 16U) | (3U << 30U)));
}

std::string Utf8Of(const std::string& ansi) {
  if (ansi.empty()) {
    return {};
  }
  const int wide_length =
      MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(wide_length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(),
                      wide_length);
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_length, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_length, utf8.data(), length, nullptr, nullptr);
  return utf8;
}

}  // namespace fwu::test
