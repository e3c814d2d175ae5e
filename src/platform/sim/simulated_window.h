#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/dialog_host.h"
#include "platform/sim/system_call_faults.h"
#include "resources/dialog_templates.h"

namespace fwu::sim {

// One open dialog on a simulated screen: every addressable control of its template, in
// template order, with its text and state; the menu; the timers on the program's clock; and
// the result once the dialog ends. The terminal host and the tests' scripted host keep their
// dialogs this way; how a dialog is shown, and what a misuse means, is theirs.
class SimulatedWindow : public platform::DialogWindow {
 public:
  struct Control {
    int id = 0;
    ControlKind kind = ControlKind::kStatic;
    std::string text;
    bool enabled = true;
    bool visible = true;
    std::size_t limit = 0;  // 0: none set
    std::vector<std::string> entries;
    int selection = -1;
    int low = 0;
    int high = 100;
    int position = 0;
    std::vector<int> history;  // every position the progress bar was set to
  };

  struct MenuItem {
    std::uint32_t command = 0;
    std::string text;
    bool system = false;  // appended to the system menu
  };

  SimulatedWindow(int template_id, platform::WindowHandle handle, platform::Clock& clock);

  int TemplateId() const { return template_id_; }
  // False when the program has no dialog resource with this template id.
  bool HasTemplate() const { return has_template_; }
  const std::string& Title() const { return title_; }
  const std::vector<Control>& Controls() const { return controls_; }
  const Control* Find(int control) const;
  bool HasControl(int control) const { return Find(control) != nullptr; }
  // Buttons the user can see, in template order.
  std::vector<const Control*> Buttons() const;
  const std::vector<MenuItem>& Menu() const { return menu_; }
  bool IsSystemMenuCommand(std::uint32_t command) const;

  // Raw text in the program's encoding.
  std::string Text(int control) const;
  bool IsEnabled(int control) const;
  bool IsVisible(int control) const;
  ControlKind KindOf(int control) const;
  const std::vector<std::string>& ListEntries(int control) const;
  int ProgressPosition(int control) const;
  const std::vector<int>& ProgressHistory(int control) const;
  std::string MenuItemText(std::uint32_t command) const;
  bool TimerRunning(std::uint32_t id) const;
  int Icon() const { return icon_; }
  int Repaints() const { return repaints_; }
  int IconsDrawn() const { return icons_drawn_; }
  std::optional<int> Result() const { return result_; }
  bool Ended() const { return result_.has_value(); }

  // Minimised windows paint only their icon.
  void SetMinimized(bool minimized) { minimized_ = minimized; }
  // Every timer started from now on fails to be created.
  void FailTimers(bool fail) { timers_fail_ = fail; }
  // Timers are created only when the faults let them (none when null).
  void SetFaults(SystemCallFaults* faults) { faults_ = faults; }
  void ForceEnd(int result) { result_ = result; }

  // The earliest timer deadline, on the clock's tick count.
  std::optional<std::uint64_t> NextDeadline() const;
  // Moves the timer due at the deadline on by its period and returns its id.
  std::uint32_t TakeDueTimer(std::uint64_t deadline);

  platform::WindowHandle Handle() const override { return handle_; }
  void SetTitle(std::string_view title) override { title_ = title; }
  void SetControlText(int control, std::string_view text) override;
  std::string ControlText(int control) const override { return Text(control); }
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
  void SetIcon(int icon_id) override { icon_ = icon_id; }
  void SetMenuItemText(std::uint32_t command, std::string_view text) override;
  bool AppendSystemMenuEntry(std::uint32_t command, std::string_view text) override;
  bool IsMinimized() const override { return minimized_; }
  void DrawIconCentered(int /*icon_id*/) override { ++icons_drawn_; }

 protected:
  // Something the dialog's logic did that a real window would not take: a control or menu
  // command the template lacks, a text over its limit, a position outside the range, a second
  // end. Ignored unless a host makes more of it.
  virtual void OnMisuse(const std::string& /*what*/) const {}
  virtual void OnProgressMoved(const Control& /*control*/) {}
  virtual void OnRepaint() {}

 private:
  struct Timer {
    std::uint32_t id = 0;
    std::uint32_t period_ms = 0;
    std::uint64_t deadline = 0;
  };

  Control* Find(int control, const char* operation);
  const Control* Find(int control, const char* operation) const;

  int template_id_;
  platform::WindowHandle handle_;
  platform::Clock& clock_;
  bool has_template_ = false;
  bool has_system_menu_ = false;
  std::string title_;
  std::vector<Control> controls_;
  std::vector<MenuItem> menu_;
  std::vector<Timer> timers_;
  bool timers_fail_ = false;
  SystemCallFaults* faults_ = nullptr;
  int icon_ = 0;
  bool minimized_ = false;
  int icons_drawn_ = 0;
  int repaints_ = 0;
  std::optional<int> result_;
};

// A dialog on a host's stack of modal dialogs.
struct OpenDialog {
  SimulatedWindow* window;
  platform::DialogLogic* logic;
};

// Lets time pass on the clock to the earliest timer of the open dialogs and fires it; false
// when no timer runs.
bool FireNextTimer(std::span<const OpenDialog> dialogs, platform::Clock& clock);
// Lets at most period_ms pass: up to the earliest timer, which then fires, when it falls due
// within that time.
void PassTime(std::span<const OpenDialog> dialogs, platform::Clock& clock, std::uint32_t period_ms);

// The requests the shutdown guard answers, as Windows sends them to every window.
struct ShutdownRequest {
  const char* name;
  std::uint32_t message;
  std::uintptr_t parameter;
};
inline constexpr ShutdownRequest kShutdownRequests[] = {
    {"log off / shut down", platform::kWmQueryEndSession, 0},
    {"end session", platform::kWmEndSession, 1},
    {"suspend", platform::kWmPower, platform::kPwrSuspendRequest},
    {"query suspend", platform::kWmPowerBroadcast, platform::kPbtApmQuerySuspend},
    {"query standby", platform::kWmPowerBroadcast, platform::kPbtApmQueryStandby},
};

// Sends one request to every open dialog; true when one of them answered it itself (refused).
bool SendShutdownRequest(std::span<const OpenDialog> dialogs, const ShutdownRequest& request);

}  // namespace fwu::sim
