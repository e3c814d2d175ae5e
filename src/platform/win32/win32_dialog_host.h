#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/dialog_host.h"
#include "platform/win32/shutdown_block_reason.h"

namespace fwu::win32 {

class Win32Threads;

// Modal dialogs on DialogBoxParamA with the program's own dialog templates, message boxes
// (MessageBoxA), beeps (MessageBeep) and the wait cursor. One dialog procedure serves every
// dialog and hands the window's events to the dialog's logic: commands, the drive list's
// selection, timers, the close request, painting, system commands, the cursor, the drag icon
// of the minimised window, and the shutdown guard's messages (WM_QUERYENDSESSION, WM_ENDSESSION,
// WM_POWER, WM_POWERBROADCAST), whose answers the logic gives.
//
// While a thread made by `threads` runs (the update worker), the dialog that handles messages
// also registers `shutdown_reason` with Windows Vista and later, which then show it to a user
// who tries to end the session.
class Win32DialogHost final : public platform::DialogHost {
 public:
  // resource_module: the module with the dialog templates and icons; null for the program.
  explicit Win32DialogHost(
      const Win32Threads* threads = nullptr, std::wstring shutdown_reason = {},
      void* resource_module = nullptr,
      ShutdownBlockReason::Calls shutdown_calls = ShutdownBlockReason::SystemCalls());
  ~Win32DialogHost() override = default;
  Win32DialogHost(const Win32DialogHost&) = delete;
  Win32DialogHost& operator=(const Win32DialogHost&) = delete;

  int RunModal(platform::DialogLogic& logic, platform::WindowHandle parent) override;
  // A message loop of its own (MsgWaitForMultipleObjects, PeekMessageA, IsDialogMessageA,
  // DispatchMessageA) inside the handler that waits.
  bool HandleMessagesUntil(const std::function<bool()>& done,
                           std::uint32_t check_period_ms) override;
  int ShowMessageBox(platform::WindowHandle owner, std::string_view text, std::string_view caption,
                     std::uint32_t style) override;
  void Beep(std::uint32_t type) override;
  void BeginWaitCursor() override;
  void EndWaitCursor() override;

  bool WaitCursorShown() const { return wait_cursor_count_ > 0; }
  const ShutdownBlockReason& ShutdownReason() const { return shutdown_reason_; }

  // The one dialog procedure; public only so that the procedure can reach the host.
  class Procedure;

 private:
  void ShowWaitCursor() const;
  void UpdateShutdownReason(void* window);

  const Win32Threads* threads_;
  ShutdownBlockReason shutdown_reason_;
  void* resource_module_;
  int wait_cursor_count_ = 0;
};

}  // namespace fwu::win32
