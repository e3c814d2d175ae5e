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
#include "platform/sim/simulated_window.h"
#include "resources/dialog_templates.h"

namespace fwu::test {

// One open dialog as the scripted host keeps it (the simulated PC's window model). Whatever
// the dialog's logic does that a real window would not take fails the test.
class ScriptedWindow final : public sim::SimulatedWindow {
 public:
  ScriptedWindow(int template_id, platform::WindowHandle handle, platform::Clock& clock,
                 bool timers_fail);

  // The text decoded from code page 932.
  std::string Utf8Text(int control) const;
  // Every text the control showed when the window was repainted, in order and decoded; a
  // text shown at several repaints in a row counts once.
  std::vector<std::string> PaintedUtf8Texts(int control) const;

 protected:
  void OnMisuse(const std::string& what) const override;
  void OnRepaint() override;

 private:
  std::map<int, std::vector<std::string>> painted_;
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
  // A dialog with this template is asked for now, and cannot be created: the modal run gives
  // kDialogFailed, as DialogBoxParamA gives -1.
  Scenario& FailsToOpen(int template_id);
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
    kFailsToOpen,
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
// simulated threads run and time moves exactly as they make it. While a handler waits for
// something (HandleMessagesUntil), the scenario's next actions on the dialogs take place in
// between, as a user's would. Anything the scenario does not expect fails the test with a clear
// message, and the host then ends every dialog at once so that the test comes to an end.
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
  // Dialogs and timers are created only when the faults let them.
  void SetFaults(sim::SystemCallFaults* faults) { faults_ = faults; }

  int RunModal(platform::DialogLogic& logic, platform::WindowHandle parent) override;
  bool HandleMessagesUntil(const std::function<bool()>& done,
                           std::uint32_t check_period_ms) override;
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
  std::vector<sim::OpenDialog> OpenDialogs() const;

  void Fail(const std::string& what);
  void Perform(const Scenario::Step& step, Frame frame);
  void Paint(Frame frame);
  void Shutdown(const Scenario::Step& step);
  // Lets time pass to the next timer of any open dialog and fires it; false when none runs.
  bool FireNextTimer() { return sim::FireNextTimer(OpenDialogs(), clock_); }
  bool WaitFor(const std::function<bool()>& done, const std::string& what);

  platform::Clock& clock_;
  Scenario scenario_;
  std::vector<Frame> stack_;
  std::vector<std::string> transcript_;
  platform::WindowHandle next_handle_ = 0x1000;
  bool timers_fail_ = false;
  sim::SystemCallFaults* faults_ = nullptr;
  bool abandoned_ = false;
  int beeps_ = 0;
  int wait_cursor_depth_ = 0;
};

}  // namespace fwu::test
