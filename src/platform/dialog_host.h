#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace fwu::platform {

using WindowHandle = std::uintptr_t;  // 0: no owner

inline constexpr std::uint32_t kMbOk = 0x00;
inline constexpr std::uint32_t kMbIconExclamation = 0x30;
inline constexpr std::uint32_t kBeepSimple = 0xFFFFFFFFU;

// The ids the dialog manager gives the OK and cancel commands; Escape and a dialog's close
// request arrive as the cancel command unless the logic takes the close request itself.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
// What a modal run returns when the dialog could not be created (DialogBoxParamA).
inline constexpr int kDialogFailed = -1;

// Messages of the shutdown guard, with their Windows values, and the parameters and answers
// that matter to it.
inline constexpr std::uint32_t kWmQueryEndSession = 0x11;
inline constexpr std::uint32_t kWmEndSession = 0x16;
inline constexpr std::uint32_t kWmPower = 0x48;
inline constexpr std::uint32_t kWmPowerBroadcast = 0x218;
inline constexpr std::uintptr_t kPwrSuspendRequest = 1;
inline constexpr std::intptr_t kPwrFail = -1;
inline constexpr std::uintptr_t kPbtApmQuerySuspend = 0;
inline constexpr std::uintptr_t kPbtApmQueryStandby = 1;
inline constexpr std::intptr_t kBroadcastQueryDeny = 0x424D5144;

// The window of a running dialog, as its logic sees it. Controls are addressed by the ids of
// the dialog's template. Texts are in the program's encoding (ASCII, or code page 932 bytes for
// Japanese).
class DialogWindow {
 public:
  virtual ~DialogWindow() = default;

  virtual WindowHandle Handle() const = 0;
  virtual void SetTitle(std::string_view title) = 0;
  virtual void SetControlText(int control, std::string_view text) = 0;
  virtual std::string ControlText(int control) const = 0;
  // The most bytes the user may have in an edit control.
  virtual void SetTextLimit(int control, std::size_t limit) = 0;
  virtual void EnableControl(int control, bool enabled) = 0;
  virtual void ShowControl(int control, bool shown) = 0;

  // The drop-down drive list.
  virtual void ClearList(int control) = 0;
  virtual void AddListEntry(int control, std::string_view text) = 0;
  virtual int ListSelection(int control) const = 0;  // -1 when nothing is selected
  virtual void SelectListEntry(int control, int index) = 0;

  virtual void SetProgressRange(int control, int low, int high) = 0;
  virtual void SetProgress(int control, int position) = 0;

  // False when the timer cannot be created.
  virtual bool StartTimer(std::uint32_t id, std::uint32_t period_ms) = 0;
  virtual void StopTimer(std::uint32_t id) = 0;
  virtual void Repaint() = 0;
  // Ends the modal run once the current event has been handled.
  virtual void End(int result) = 0;

  // Window furniture: the icon, the menu bar, the system menu and the minimised state.
  virtual void SetIcon(int icon_id) = 0;
  virtual void SetMenuItemText(std::uint32_t command, std::string_view text) = 0;
  // False when the window has no system menu to add to.
  virtual bool AppendSystemMenuEntry(std::uint32_t command, std::string_view text) = 0;
  virtual bool IsMinimized() const = 0;
  virtual void DrawIconCentered(int icon_id) = 0;
};

// The events a dialog's logic receives from its window. Every handler runs on the dialog's
// thread; a handler may run further modal dialogs.
class DialogLogic {
 public:
  virtual ~DialogLogic() = default;

  virtual int TemplateId() const = 0;
  virtual void OnInitDialog(DialogWindow& window) = 0;
  // Buttons, menu commands, and the cancel command (kIdCancel) of Escape.
  virtual void OnCommand(DialogWindow& window, int command) = 0;
  virtual void OnSelectionChange(DialogWindow& /*window*/, int /*control*/) {}
  virtual void OnTimer(DialogWindow& /*window*/, std::uint32_t /*id*/) {}
  // The close box or the keyboard's close shortcut; the dialog manager turns it into the
  // cancel command unless the logic decides otherwise.
  virtual void OnCloseRequest(DialogWindow& window) { OnCommand(window, kIdCancel); }
  // True when the logic painted the window itself; false lets the host paint as usual.
  virtual bool OnPaint(DialogWindow& /*window*/) { return false; }
  // True when the logic handled the system command; false leaves it to the host.
  virtual bool OnSystemCommand(DialogWindow& /*window*/, std::uint32_t /*command*/) {
    return false;
  }
  // True when the host is to show the wait cursor instead of the usual one.
  virtual bool OnSetCursor(DialogWindow& /*window*/) { return false; }
  // The icon shown while the minimised window is dragged; 0 for the host's own.
  virtual int DragIcon() const { return 0; }
  // The shutdown guard: true, with the answer, when the logic answers the message itself;
  // false leaves it to the host's usual handling.
  virtual bool OnGuardMessage(std::uint32_t message, std::uintptr_t parameter,
                              std::intptr_t& answer) = 0;
};

// Modal dialogs, message boxes, beeps and the wait cursor.
class DialogHost {
 public:
  virtual ~DialogHost() = default;

  // Runs the dialog until its logic ends it and returns the result the logic gave, or
  // kDialogFailed when the dialog could not be created.
  virtual int RunModal(DialogLogic& logic, WindowHandle parent) = 0;
  // For a handler that has to wait: handles the thread's window messages (the open dialogs'
  // events, their timers, the system's requests) as the modal run would, until `done` holds;
  // `done` is asked at least every check_period_ms. False when the messages could not be
  // waited for.
  virtual bool HandleMessagesUntil(const std::function<bool()>& done,
                                   std::uint32_t check_period_ms) = 0;
  virtual int ShowMessageBox(WindowHandle owner, std::string_view text, std::string_view caption,
                             std::uint32_t style) = 0;
  virtual void Beep(std::uint32_t type) = 0;
  // Nested: the wait cursor shows until every Begin has had its End.
  virtual void BeginWaitCursor() = 0;
  virtual void EndWaitCursor() = 0;
};

}  // namespace fwu::platform
