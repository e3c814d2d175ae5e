#include "support/scripted_dialog_host.h"

#include <sstream>
#include <stdexcept>
#include <utility>

#include <gtest/gtest.h>

#include "resources/dialog_ids.h"
#include "support/shift_jis.h"

namespace fwu::test {

namespace {

constexpr std::uint32_t kSystemCommandMask = 0xFFF0;
constexpr std::uint32_t kScClose = 0xF060;
constexpr std::string_view kMessageCaption = "Firmware Update Utility";

std::string Decoded(std::string_view text) {
  try {
    return ShiftJisToUtf8(text);
  } catch (const std::invalid_argument&) {
    return std::string(text);
  }
}

std::string Hex(std::uint64_t value) {
  std::ostringstream out;
  out << "0x" << std::hex << value;
  return out.str();
}

}  // namespace

// ---- ScriptedWindow ----

ScriptedWindow::ScriptedWindow(int template_id, platform::WindowHandle handle,
                               platform::Clock& clock, bool timers_fail)
    : SimulatedWindow(template_id, handle, clock) {
  if (!HasTemplate()) {
    ADD_FAILURE() << "the program has no dialog resource " << template_id;
  }
  FailTimers(timers_fail);
}

std::string ScriptedWindow::Utf8Text(int control) const {
  return Decoded(Text(control));
}

std::vector<std::string> ScriptedWindow::PaintedUtf8Texts(int control) const {
  std::vector<std::string> texts;
  if (const auto found = painted_.find(control); found != painted_.end()) {
    for (const std::string& text : found->second) {
      texts.push_back(Decoded(text));
    }
  }
  return texts;
}

void ScriptedWindow::OnMisuse(const std::string& what) const {
  ADD_FAILURE() << what;
}

void ScriptedWindow::OnRepaint() {
  for (const Control& control : Controls()) {
    std::vector<std::string>& texts = painted_[control.id];
    if (texts.empty() || texts.back() != control.text) {
      texts.push_back(control.text);
    }
  }
}

// ---- Scenario ----

Scenario& Scenario::Add(Step step) {
  steps_.push_back(std::move(step));
  return *this;
}

Scenario& Scenario::Opens(int template_id, Check check) {
  Step step;
  step.kind = Kind::kOpens;
  step.id = template_id;
  step.check = std::move(check);
  return Add(std::move(step));
}

Scenario& Scenario::FailsToOpen(int template_id) {
  Step step;
  step.kind = Kind::kFailsToOpen;
  step.id = template_id;
  return Add(std::move(step));
}

Scenario& Scenario::MessageBox(std::string utf8_text) {
  Step step;
  step.kind = Kind::kMessageBox;
  step.text = std::move(utf8_text);
  return Add(std::move(step));
}

Scenario& Scenario::MessageBoxThat(std::function<void(const std::string&)> check) {
  Step step;
  step.kind = Kind::kMessageBox;
  step.text_check = std::move(check);
  return Add(std::move(step));
}

Scenario& Scenario::Do(std::function<void()> action) {
  return Verify([action = std::move(action)](const ScriptedWindow& /*window*/) { action(); });
}

Scenario& Scenario::Press(int control) {
  Step step;
  step.kind = Kind::kPress;
  step.id = control;
  return Add(std::move(step));
}

Scenario& Scenario::Command(int command) {
  Step step;
  step.kind = Kind::kCommand;
  step.id = command;
  return Add(std::move(step));
}

Scenario& Scenario::Pick(int list_control, int index) {
  Step step;
  step.kind = Kind::kPick;
  step.id = list_control;
  step.value = index;
  return Add(std::move(step));
}

Scenario& Scenario::RequestClose() {
  Step step;
  step.kind = Kind::kClose;
  return Add(std::move(step));
}

Scenario& Scenario::SystemCommand(std::uint32_t command) {
  Step step;
  step.kind = Kind::kSystemCommand;
  step.message = command;
  return Add(std::move(step));
}

Scenario& Scenario::RequestShutdown(std::uint32_t message, std::uintptr_t parameter, bool refused) {
  Step step;
  step.kind = Kind::kShutdown;
  step.message = message;
  step.parameter = parameter;
  step.refused = refused;
  return Add(std::move(step));
}

Scenario& Scenario::RequestEveryShutdown(bool refused) {
  for (const sim::ShutdownRequest& request : sim::kShutdownRequests) {
    RequestShutdown(request.message, request.parameter, refused);
  }
  return *this;
}

Scenario& Scenario::Verify(Check check) {
  Step step;
  step.kind = Kind::kVerify;
  step.check = std::move(check);
  return Add(std::move(step));
}

Scenario& Scenario::WaitUntil(Condition condition, std::string description) {
  Step step;
  step.kind = Kind::kWaitUntil;
  step.text = std::move(description);
  step.condition = std::move(condition);
  return Add(std::move(step));
}

Scenario& Scenario::WaitTimerTicks(int ticks) {
  Step step;
  step.kind = Kind::kWaitTicks;
  step.value = ticks;
  return Add(std::move(step));
}

std::string Scenario::Describe(const Step& step) {
  switch (step.kind) {
    case Kind::kOpens:
      return "dialog " + std::to_string(step.id) + " opens";
    case Kind::kFailsToOpen:
      return "dialog " + std::to_string(step.id) + " fails to open";
    case Kind::kMessageBox:
      return step.text_check ? "a message box" : "message box \"" + step.text + "\"";
    case Kind::kPress:
      return "press control " + std::to_string(step.id);
    case Kind::kCommand:
      return "command " + Hex(static_cast<std::uint64_t>(step.id));
    case Kind::kPick:
      return "pick entry " + std::to_string(step.value) + " of list " + std::to_string(step.id);
    case Kind::kClose:
      return "close request";
    case Kind::kSystemCommand:
      return "system command " + Hex(step.message);
    case Kind::kShutdown:
      return "shutdown request " + Hex(step.message) + " (" + Hex(step.parameter) + ")";
    case Kind::kVerify:
      return "check";
    case Kind::kWaitUntil:
      return "wait until " + step.text;
    case Kind::kWaitTicks:
      return "wait for " + std::to_string(step.value) + " timer ticks";
  }
  return "?";
}

// ---- ScriptedDialogHost ----

ScriptedDialogHost::ScriptedDialogHost(platform::Clock& clock, Scenario scenario)
    : clock_(clock), scenario_(std::move(scenario)) {}

ScriptedDialogHost::~ScriptedDialogHost() {
  if (!abandoned_ && !scenario_.steps_.empty()) {
    ADD_FAILURE() << "the scenario was not played to its end; next step: "
                  << Scenario::Describe(scenario_.steps_.front());
  }
}

void ScriptedDialogHost::Fail(const std::string& what) {
  ADD_FAILURE() << what;
  abandoned_ = true;
  for (const Frame& frame : stack_) {
    if (!frame.window->Ended()) {
      frame.window->ForceEnd(platform::kIdCancel);
    }
  }
}

int ScriptedDialogHost::RunModal(platform::DialogLogic& logic, platform::WindowHandle /*parent*/) {
  const int template_id = logic.TemplateId();
  transcript_.push_back("open " + std::to_string(template_id));
  if (abandoned_) {
    return platform::kIdCancel;
  }
  auto& steps = scenario_.steps_;
  if (!steps.empty() && steps.front().kind == Scenario::Kind::kFailsToOpen &&
      steps.front().id == template_id) {
    steps.pop_front();
    transcript_.back() += " failed";
    return platform::kDialogFailed;
  }
  if (faults_ != nullptr && faults_->Fails(sim::SystemCall::kDialog)) {
    transcript_.back() += " failed";
    return platform::kDialogFailed;
  }
  if (steps.empty() || steps.front().kind != Scenario::Kind::kOpens ||
      steps.front().id != template_id) {
    Fail("dialog " + std::to_string(template_id) + " opened, but the scenario expects " +
         (steps.empty() ? std::string("nothing more") : Scenario::Describe(steps.front())));
    return platform::kIdCancel;
  }
  const Scenario::Step opened = std::move(steps.front());
  steps.pop_front();

  ScriptedWindow window(template_id, next_handle_, clock_, timers_fail_);
  window.SetFaults(faults_);
  next_handle_ += 4;
  stack_.push_back({&window, &logic});
  logic.OnInitDialog(window);
  Paint(stack_.back());
  if (opened.check && !window.Ended()) {
    opened.check(window);
  }
  while (!window.Ended() && !abandoned_) {
    if (steps.empty()) {
      Fail("dialog " + std::to_string(template_id) +
           " waits for the user, but the scenario has no more steps");
      break;
    }
    const Scenario::Kind next = steps.front().kind;
    if (next == Scenario::Kind::kOpens || next == Scenario::Kind::kFailsToOpen ||
        next == Scenario::Kind::kMessageBox) {
      // Something else must appear first: only a timer of an open dialog can bring it.
      const std::size_t before = steps.size();
      WaitFor([&] { return steps.size() != before || window.Ended(); },
              "for " + Scenario::Describe(steps.front()));
      continue;
    }
    const Scenario::Step step = std::move(steps.front());
    steps.pop_front();
    Perform(step, stack_.back());
  }
  stack_.pop_back();
  const int result = window.Result().value_or(platform::kIdCancel);
  transcript_.push_back("end " + std::to_string(template_id) + ": " + std::to_string(result));
  return result;
}

void ScriptedDialogHost::Paint(Frame frame) {
  if (!frame.window->Ended()) {
    frame.logic->OnPaint(*frame.window);
  }
}

void ScriptedDialogHost::Perform(const Scenario::Step& step, Frame frame) {
  ScriptedWindow& window = *frame.window;
  platform::DialogLogic& logic = *frame.logic;
  const std::string on = " on dialog " + std::to_string(window.TemplateId());
  switch (step.kind) {
    case Scenario::Kind::kPress:
      if (!window.HasControl(step.id) || !window.IsVisible(step.id) || !window.IsEnabled(step.id)) {
        Fail("cannot " + Scenario::Describe(step) + on + ": it is missing, hidden or disabled");
        return;
      }
      logic.OnCommand(window, step.id);
      break;
    case Scenario::Kind::kCommand:
      logic.OnCommand(window, step.id);
      break;
    case Scenario::Kind::kPick:
      if (!window.HasControl(step.id) || !window.IsEnabled(step.id) || step.value < 0 ||
          static_cast<std::size_t>(step.value) >= window.ListEntries(step.id).size()) {
        Fail("cannot " + Scenario::Describe(step) + on);
        return;
      }
      window.SelectListEntry(step.id, step.value);
      logic.OnSelectionChange(window, step.id);
      break;
    case Scenario::Kind::kClose:
      logic.OnCloseRequest(window);
      break;
    case Scenario::Kind::kSystemCommand:
      if (!logic.OnSystemCommand(window, step.message) &&
          (step.message & kSystemCommandMask) == kScClose) {
        logic.OnCloseRequest(window);
      }
      break;
    case Scenario::Kind::kShutdown:
      Shutdown(step);
      break;
    case Scenario::Kind::kVerify:
      step.check(window);
      break;
    case Scenario::Kind::kWaitUntil:
      WaitFor([&] { return stack_.empty() || step.condition(*stack_.back().window); },
              "until " + step.text);
      break;
    case Scenario::Kind::kWaitTicks:
      for (int tick = 0; tick < step.value && !abandoned_ && !window.Ended(); ++tick) {
        if (!FireNextTimer()) {
          Fail("no timer runs" + on + " for " + Scenario::Describe(step));
        }
      }
      break;
    case Scenario::Kind::kOpens:
    case Scenario::Kind::kFailsToOpen:
    case Scenario::Kind::kMessageBox:
      break;
  }
  Paint(frame);
}

bool ScriptedDialogHost::HandleMessagesUntil(const std::function<bool()>& done,
                                             std::uint32_t check_period_ms) {
  auto& steps = scenario_.steps_;
  const std::uint64_t start = clock_.TickCount();
  while (!done()) {
    if (abandoned_ || stack_.empty()) {
      return false;
    }
    if (clock_.TickCount() - start > kWaitLimitMs) {
      Fail("gave up on a handler that waits (dialog " +
           std::to_string(stack_.back().window->TemplateId()) + " on top)");
      return false;
    }
    const Scenario::Kind next = steps.empty() ? Scenario::Kind::kOpens : steps.front().kind;
    if (next == Scenario::Kind::kWaitUntil && steps.front().condition(*stack_.back().window)) {
      steps.pop_front();
      continue;
    }
    // What the user does meanwhile happens on the dialog on top; whatever is to appear, or to
    // come true, next only comes with time.
    const bool user_action =
        next != Scenario::Kind::kOpens && next != Scenario::Kind::kFailsToOpen &&
        next != Scenario::Kind::kMessageBox && next != Scenario::Kind::kWaitUntil &&
        next != Scenario::Kind::kWaitTicks;
    if (user_action) {
      const Scenario::Step step = std::move(steps.front());
      steps.pop_front();
      Perform(step, stack_.back());
      continue;
    }
    sim::PassTime(OpenDialogs(), clock_, check_period_ms);
  }
  return true;
}

void ScriptedDialogHost::Shutdown(const Scenario::Step& step) {
  // Every window hears the request; any one of them may refuse it.
  const bool refused =
      sim::SendShutdownRequest(OpenDialogs(), {"request", step.message, step.parameter});
  EXPECT_EQ(refused, step.refused)
      << Scenario::Describe(step) << " with dialog " << stack_.back().window->TemplateId()
      << " on top was " << (refused ? "refused" : "let through");
}

std::vector<sim::OpenDialog> ScriptedDialogHost::OpenDialogs() const {
  std::vector<sim::OpenDialog> dialogs;
  for (const Frame& frame : stack_) {
    dialogs.push_back({frame.window, frame.logic});
  }
  return dialogs;
}

bool ScriptedDialogHost::WaitFor(const std::function<bool()>& done, const std::string& what) {
  const std::uint64_t start = clock_.TickCount();
  while (!done()) {
    if (abandoned_) {
      return false;
    }
    std::string on;
    if (!stack_.empty()) {
      on = " (dialog ";
      on += std::to_string(stack_.back().window->TemplateId());
      on += " on top)";
    }
    if (clock_.TickCount() - start > kWaitLimitMs) {
      Fail(std::string("gave up waiting ").append(what).append(on));
      return false;
    }
    if (!FireNextTimer()) {
      std::string message = "the scenario waits " + what;
      message += ", but no timer runs";
      message += on;
      message += " and only the user could go on";
      Fail(message);
      return false;
    }
  }
  return true;
}

int ScriptedDialogHost::ShowMessageBox(platform::WindowHandle owner, std::string_view text,
                                       std::string_view caption, std::uint32_t /*style*/) {
  const std::string utf8 = Decoded(text);
  transcript_.push_back("message: " + utf8);
  if (abandoned_) {
    return platform::kIdOk;
  }
  auto& steps = scenario_.steps_;
  if (steps.empty() || steps.front().kind != Scenario::Kind::kMessageBox) {
    Fail("message box \"" + utf8 + "\" appeared, but the scenario expects " +
         (steps.empty() ? std::string("nothing more") : Scenario::Describe(steps.front())));
    return platform::kIdOk;
  }
  const Scenario::Step step = std::move(steps.front());
  steps.pop_front();
  if (step.text_check) {
    step.text_check(utf8);
  } else {
    EXPECT_EQ(utf8, step.text) << "text of a message box";
  }
  EXPECT_EQ(caption, kMessageCaption) << "caption of message box \"" << utf8 << "\"";
  if (!stack_.empty()) {
    EXPECT_EQ(owner, stack_.back().window->Handle())
        << "message box \"" << utf8 << "\" is not owned by the dialog on top";
  }
  return platform::kIdOk;
}

void ScriptedDialogHost::Beep(std::uint32_t /*type*/) {
  ++beeps_;
  transcript_.emplace_back("beep");
}

void ScriptedDialogHost::EndWaitCursor() {
  if (wait_cursor_depth_ == 0) {
    ADD_FAILURE() << "the wait cursor ended more often than it began";
    return;
  }
  --wait_cursor_depth_;
}

const ScriptedWindow* ScriptedDialogHost::OpenWindow(int template_id) const {
  for (auto frame = stack_.rbegin(); frame != stack_.rend(); ++frame) {
    if (frame->window->TemplateId() == template_id) {
      return frame->window;
    }
  }
  return nullptr;
}

bool ScriptedDialogHost::WaitCursorRequested() {
  return !stack_.empty() && stack_.back().logic->OnSetCursor(*stack_.back().window);
}

}  // namespace fwu::test
