#include "platform/win32/win32_dialog_window.h"

#include <vector>

#include "platform/win32/windows_api.h"

namespace fwu::win32 {

namespace {

HWND Window(void* window) {
  return static_cast<HWND>(window);
}

std::string TextOf(HWND window) {
  const int length = GetWindowTextLengthA(window);
  if (length <= 0) {
    return {};
  }
  std::vector<char> buffer(static_cast<std::size_t>(length) + 1, '\0');
  const int copied = GetWindowTextA(window, buffer.data(), length + 1);
  return std::string(buffer.data(), copied > 0 ? static_cast<std::size_t>(copied) : 0);
}

// Only a text that differs is written: writing a window's text repaints it, and some dialogs
// write their captions on every paint.
void SetTextIfChanged(HWND window, std::string_view text) {
  if (window == nullptr) {
    return;
  }
  const std::string wanted(text);
  if (TextOf(window) != wanted) {
    SetWindowTextA(window, wanted.c_str());
  }
}

HICON IconResource(void* module, int icon_id, int width, int height) {
  return static_cast<HICON>(LoadImageA(static_cast<HINSTANCE>(module), MAKEINTRESOURCEA(icon_id),
                                       IMAGE_ICON, width, height, LR_DEFAULTCOLOR | LR_SHARED));
}

}  // namespace

Win32DialogWindow::Win32DialogWindow(void* window, void* resource_module)
    : window_(window), resource_module_(resource_module) {}

platform::WindowHandle Win32DialogWindow::Handle() const {
  return reinterpret_cast<platform::WindowHandle>(window_);
}

void Win32DialogWindow::SetTitle(std::string_view title) {
  SetTextIfChanged(Window(window_), title);
}

void Win32DialogWindow::SetControlText(int control, std::string_view text) {
  SetTextIfChanged(GetDlgItem(Window(window_), control), text);
}

std::string Win32DialogWindow::ControlText(int control) const {
  HWND item = GetDlgItem(Window(window_), control);
  return item == nullptr ? std::string() : TextOf(item);
}

void Win32DialogWindow::SetTextLimit(int control, std::size_t limit) {
  SendDlgItemMessageA(Window(window_), control, EM_LIMITTEXT, limit, 0);
}

void Win32DialogWindow::EnableControl(int control, bool enabled) {
  if (HWND item = GetDlgItem(Window(window_), control)) {
    EnableWindow(item, enabled ? TRUE : FALSE);
  }
}

void Win32DialogWindow::ShowControl(int control, bool shown) {
  if (HWND item = GetDlgItem(Window(window_), control)) {
    ShowWindow(item, shown ? SW_SHOW : SW_HIDE);
  }
}

void Win32DialogWindow::ClearList(int control) {
  SendDlgItemMessageA(Window(window_), control, CB_RESETCONTENT, 0, 0);
}

void Win32DialogWindow::AddListEntry(int control, std::string_view text) {
  const std::string entry(text);
  SendDlgItemMessageA(Window(window_), control, CB_ADDSTRING, 0,
                      reinterpret_cast<LPARAM>(entry.c_str()));
}

int Win32DialogWindow::ListSelection(int control) const {
  const LRESULT selection = SendDlgItemMessageA(Window(window_), control, CB_GETCURSEL, 0, 0);
  return selection == CB_ERR ? -1 : static_cast<int>(selection);
}

void Win32DialogWindow::SelectListEntry(int control, int index) {
  SendDlgItemMessageA(Window(window_), control, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void Win32DialogWindow::SetProgressRange(int control, int low, int high) {
  SendDlgItemMessageA(Window(window_), control, PBM_SETRANGE, 0, MAKELPARAM(low, high));
}

void Win32DialogWindow::SetProgress(int control, int position) {
  SendDlgItemMessageA(Window(window_), control, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

bool Win32DialogWindow::StartTimer(std::uint32_t id, std::uint32_t period_ms) {
  return SetTimer(Window(window_), id, period_ms, nullptr) != 0;
}

void Win32DialogWindow::StopTimer(std::uint32_t id) {
  KillTimer(Window(window_), id);
}

void Win32DialogWindow::Repaint() {
  // Whatever the new values made invalid is painted now, the controls included, before the
  // caller goes on with work that keeps the thread from its message loop.
  RedrawWindow(Window(window_), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void Win32DialogWindow::End(int result) {
  EndDialog(Window(window_), result);
}

void Win32DialogWindow::SetIcon(int icon_id) {
  HICON big_icon = IconResource(resource_module_, icon_id, GetSystemMetrics(SM_CXICON),
                                GetSystemMetrics(SM_CYICON));
  HICON small_icon = IconResource(resource_module_, icon_id, GetSystemMetrics(SM_CXSMICON),
                                  GetSystemMetrics(SM_CYSMICON));
  SendMessageA(Window(window_), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big_icon));
  SendMessageA(Window(window_), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small_icon));
}

void Win32DialogWindow::SetMenuItemText(std::uint32_t command, std::string_view text) {
  HMENU menu = GetMenu(Window(window_));
  if (menu == nullptr) {
    return;
  }
  const std::string caption(text);
  const UINT state = GetMenuState(menu, command, MF_BYCOMMAND);
  if (state == static_cast<UINT>(-1)) {
    return;
  }
  ModifyMenuA(menu, command, MF_BYCOMMAND | MF_STRING | (state & (MF_GRAYED | MF_DISABLED)),
              command, caption.c_str());
  DrawMenuBar(Window(window_));
}

bool Win32DialogWindow::AppendSystemMenuEntry(std::uint32_t command, std::string_view text) {
  if ((GetWindowLongA(Window(window_), GWL_STYLE) & WS_SYSMENU) == 0) {
    return false;
  }
  HMENU system_menu = GetSystemMenu(Window(window_), FALSE);
  if (system_menu == nullptr) {
    return false;
  }
  const std::string caption(text);
  AppendMenuA(system_menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(system_menu, MF_STRING, command, caption.c_str());
  return true;
}

bool Win32DialogWindow::IsMinimized() const {
  return IsIconic(Window(window_)) != FALSE;
}

void Win32DialogWindow::DrawIconCentered(int icon_id) {
  HWND window = Window(window_);
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(window, &paint);
  SendMessageA(window, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client{};
  GetClientRect(window, &client);
  const int icon_width = GetSystemMetrics(SM_CXICON);
  const int icon_height = GetSystemMetrics(SM_CYICON);
  const int x = (client.right - client.left - icon_width + 1) / 2;
  const int y = (client.bottom - client.top - icon_height + 1) / 2;
  DrawIcon(dc, x, y, IconResource(resource_module_, icon_id, icon_width, icon_height));
  EndPaint(window, &paint);
  painted_itself_ = true;
}

}  // namespace fwu::win32
