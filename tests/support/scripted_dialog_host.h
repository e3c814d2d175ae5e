#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/dialog_host.h"
#include "resources/dialog_templates.h"

namespace fwu::test {

// One open dialog as the scripted host keeps it: every control of its template with its text
// and state, the timers and the window furniture. Tests read it in their checks.
class ScriptedWindow final : public platform::DialogWindow {
 public:
  ScriptedWindow(int template_id, platform::WindowHandle handle, platform::Clock& clock,
                 bool timers_fail);

  int TemplateId() const { return template_id_; }
  const std::string& Title() const { return title_; }
  bool HasControl(int control) const { return controls_.count(control) != 0; }
  // Raw text in the program's encoding, and the same decoded from code page 932.
  std::string Text(int control) const;
  std::string Utf8Text(int control) const;
  bool IsEnabled(int control) const;
  bool IsVisible(int control) const;
  ControlKind KindOf(int control) const;
  const std::vector<std::string>& ListEntries(int control) const;
  int ProgressPosition(int control) const;
  // Every position the progress bar was set to, in order.
  const std::vector<int>& ProgressHistory(int control) const;
  bool TimerRunning(std::uint32_t id) const { return timers_.count(id) != 0; }
  std::string MenuItemText(std::uint32_t command) const;
  int Icon() const { return icon_; }
  std::optional<int> Result() const { return result_; }
  int Repaints() const { return repaints_; }

  // Minimised windows paint only their icon.
  void SetMinimized(bool minimized) { minimized_ = minimized; }
  int IconsDrawn() const { return icons_drawn_; }

  // The earliest timer deadline, on the clock's tick count.
  std::optional<std::uint64_t> NextDeadline() const;
  // Moves the timer on by its period and returns its id.
  std::uint32_t TakeDueTimer(std::uint64_t deadline);
  bool Ended() const { return result_.has_value(); }
  void ForceEnd(int result) { result_ = result; }

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
  void StopTimer(std::uint32_t id) override { timers_.erase(id); }
  void Repaint() override { ++repaints_; }
  void End(int result) override;
  void SetIcon(int icon_id) override { icon_ = icon_id; }
  void SetMenuItemText(std::uint32_t command, std::string_view text) override;
  bool AppendSystemMenuEntry(std::uint32_t command, std::string_view text) override;
  bool IsMinimized() const override { return minimized_; }
  void DrawIconCentered(int /*icon_id*/) override { ++icons_drawn_; }

 private:
  struct Control {
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
    std::vector<int> history;
  };
  struct Timer {
    std::uint32_t period_ms = 0;
    std::uint64_t deadline = 0;
  };

  Control* Find(int control, const char* operation);
  const Control* Find(int control, const char* operation) const;

  int template_id_;
  platform::WindowHandle handle_;
  platform::Clock& clock_;
  bool timers_fail_;
  std::string title_;
  std::map<int, Control> controls_;
  std::map<std::uint32_t, Timer> timers_;
  std::map<std::uint32_t, std::string> menu_;
  bool has_system_menu_ = false;
  int icon_ = 0;
  bool minimized_ = false;
  int icons_drawn_ = 0;
  int repaints_ = 0;
  std::optional<int> result_;
};

// What a test expects to happen, step by step: which dialog or message box must appear next,
// what is checked, and what the user does on the dialog on top.
class Scenario {
 public:
  using Check = std::function<void(const ScriptedWindow&)>;
  using Condition = std::function<bool(const ScriptedWindow&)>;

  // A dialog with this template must open now; the check runs once it has initialised and
  // painted.
  Scenario& Opens(int template_id, Check check = {});
  // A message box with this text (UTF-8; the host decodes code page 932) must appear now; OK
  // answers it.
  Scenario& MessageBox(std::string utf8_text);
  // A message box must appear now; the check gets its text in UTF-8.
  Scenario& MessageBoxThat(std::function<void(const std::string&)> check);

  // On the dialog on top. Press fails on a control that is hidden or disabled; Command sends a
  // command as a menu or the keyboard would.
  Scenario& Press(int control);
  Scenario& Command(int command);
  Scenario& Escape() { return Command(platform::kIdCancel); }
  Scenario& Pick(int list_control, int index);
  Scenario& RequestClose();
  Scenario& SystemCommand(std::uint32_t command);
  // One request to every open dialog, as Windows sends it to each window; refused when a
  // dialog answers it itself.
  Scenario& RequestShutdown(std::uint32_t message, std::uintptr_t parameter, bool refused);
  // Log-off/shut-down, end of session, suspend and standby, all alike.
  Scenario& RequestEveryShutdown(bool refused);
  Scenario& Verify(Check check);
  // Something the test does to the world (the drive, say) at this point of the scenario.
  Scenario& Do(std::function<void()> action);
  // Timers fire, and virtual time passes, until the condition holds on the dialog on top.
  Scenario& WaitUntil(Condition condition, std::string description);
  Scenario& WaitTimerTicks(int ticks);

 private:
  friend class ScriptedDialogHost;

  enum class Kind : std::uint8_t {
    kOpens,
    kMessageBox,
    kPress,
    kCommand,
    kPick,
    kClose,
    kSystemCommand,
    kShutdown,
    kVerify,
    kWaitUntil,
    kWaitTicks,
  };
  struct Step {
    Kind kind = Kind::kVerify;
    int id = 0;
    int value = 0;
    std::uint32_t message = 0;
    std::uintptr_t parameter = 0;
    bool refused = true;
    std::string text;
    Check check;
    Condition condition;
    std::function<void(const std::string&)> text_check;
  };

  static std::string Describe(const Step& step);
  Scenario& Add(Step step);

  std::deque<Step> steps_;
};

// Runs dialogs by a scenario, on the program's virtual clock: while a dialog waits and the
// scenario asks for time to pass, the host sleeps to the next timer deadline, so the other
// simulated threads run and time moves exactly as they make it. Anything the scenario does not
// expect fails the test with a clear message, and the host then ends every dialog at once so
// that the test comes to an end.
class ScriptedDialogHost final : public platform::DialogHost {
 public:
  // Time one wait may take before the test gives up on it.
  static constexpr std::uint64_t kWaitLimitMs = 4ULL * 60 * 60 * 1000;

  ScriptedDialogHost(platform::Clock& clock, Scenario scenario);
  ~ScriptedDialogHost() override;
  ScriptedDialogHost(const ScriptedDialogHost&) = delete;
  ScriptedDialogHost& operator=(const ScriptedDialogHost&) = delete;

  // Every timer a dialog starts from now on fails to be created.
  void FailTimers(bool fail) { timers_fail_ = fail; }

  int RunModal(platform::DialogLogic& logic, platform::WindowHandle parent) override;
  int ShowMessageBox(platform::WindowHandle owner, std::string_view text, std::string_view caption,
                     std::uint32_t style) override;
  void Beep(std::uint32_t type) override;
  void BeginWaitCursor() override { ++wait_cursor_depth_; }
  void EndWaitCursor() override;

  // "open N", "end N: R", "message: text", "beep", in order.
  const std::vector<std::string>& Transcript() const { return transcript_; }
  int Beeps() const { return beeps_; }
  int WaitCursorDepth() const { return wait_cursor_depth_; }
  bool Abandoned() const { return abandoned_; }
  // The open dialog with this template, nearest the top; nullptr when none is open.
  const ScriptedWindow* OpenWindow(int template_id) const;
  // The cursor that the dialog on top asks for: true for the wait cursor.
  bool WaitCursorRequested();

 private:
  struct Frame {
    ScriptedWindow* window;
    platform::DialogLogic* logic;
  };

  void Fail(const std::string& what);
  void Perform(const Scenario::Step& step, Frame frame);
  void Paint(Frame frame);
  void Shutdown(const Scenario::Step& step);
  // Lets time pass to the next timer of any open dialog and fires it; false when none runs.
  bool FireNextTimer();
  bool WaitFor(const std::function<bool()>& done, const std::string& what);

  platform::Clock& clock_;
  Scenario scenario_;
  std::vector<Frame> stack_;
  std::vector<std::string> transcript_;
  platform::WindowHandle next_handle_ = 0x1000;
  bool timers_fail_ = false;
  bool abandoned_ = false;
  int beeps_ = 0;
  int wait_cursor_depth_ = 0;
};

}  // namespace fwu::test
