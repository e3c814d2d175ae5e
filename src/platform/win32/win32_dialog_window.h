#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/dialog_host.h"

namespace fwu::win32 {

// A running dialog's window and its controls, addressed by the ids of its template: texts with
// SetWindowTextA, states with EnableWindow and ShowWindow, the drop-down list with CB_*, the
// progress bar with PBM_*, timers, the icon, the menu bar and the system menu. Texts go in and
// come out as the bytes the ANSI calls take, so Japanese stays in code page 932.
class Win32DialogWindow final : public platform::DialogWindow {
 public:
  // The window is an HWND, the module the one that holds the icon resources.
  Win32DialogWindow(void* window, void* resource_module);

  platform::WindowHandle Handle() const override;
  void SetTitle(std::string_view title) override;
  void SetControlText(int control, std::string_view text) override;
  std::string ControlText(int control) const override;
  void SetTextLimit(int control, std::size_t limit) override;
  void EnableControl(int control, bool enabled) override;
  void ShowControl(int control, bool shown) override;
  void ClearList(int control) override;
  void AddListEntry(int control, std::string_view text) override;
  int ListSelection(int control) const override;
  void SelectListEntry(int control, int index) override;
  void SetProgressRange(int control, int low, int high) override;
  void SetProgress(int control, int position) override;
  bool StartTimer(std::uint32_t id, std::uint32_t period_ms) override;
  void StopTimer(std::uint32_t id) override;
  void Repaint() override;
  void End(int result) override;
  void SetIcon(int icon_id) override;
  void SetMenuItemText(std::uint32_t command, std::string_view text) override;
  bool AppendSystemMenuEntry(std::uint32_t command, std::string_view text) override;
  bool IsMinimized() const override;
  void DrawIconCentered(int icon_id) override;

  // Whether DrawIconCentered painted during the paint message being handled; reset by the host
  // before each one.
  bool PaintedItself() const { return painted_itself_; }
  void ForgetPainting() { painted_itself_ = false; }

 private:
  void* window_;
  void* resource_module_;
  bool painted_itself_ = false;
};

}  // namespace fwu::win32
