#include "platform/sim/simulated_window.h"

#include <algorithm>

#include "resources/dialog_ids.h"

namespace fwu::sim {
namespace {

const std::vector<std::string>& NoEntries() {
  static const std::vector<std::string> kNone;
  return kNone;
}

const std::vector<int>& NoHistory() {
  static const std::vector<int> kNone;
  return kNone;
}

bool IsButton(ControlKind kind) {
  return kind == ControlKind::kPushButton || kind == ControlKind::kDefaultButton;
}

}  // namespace

SimulatedWindow::SimulatedWindow(int template_id, platform::WindowHandle handle,
                                 platform::Clock& clock)
    : template_id_(template_id), handle_(handle), clock_(clock) {
  const DialogTemplate* dialog = FindDialogTemplate(template_id);
  if (dialog == nullptr) {
    return;
  }
  has_template_ = true;
  title_ = dialog->title;
  has_system_menu_ = dialog->system_menu;
  for (const ControlTemplate& control : dialog->controls) {
    if (control.id == ids::kUnaddressed) {
      continue;
    }
    Control& state = controls_.emplace_back();
    state.id = control.id;
    state.kind = control.kind;
    state.text = control.text;
    state.enabled = control.enabled;
    state.visible = control.visible;
  }
  for (const MenuItemTemplate& item : MenuItems(dialog->menu)) {
    menu_.push_back({item.command, std::string(item.text), false});
  }
}

const SimulatedWindow::Control* SimulatedWindow::Find(int control) const {
  const auto found = std::find_if(controls_.begin(), controls_.end(),
                                  [control](const Control& state) { return state.id == control; });
  return found == controls_.end() ? nullptr : &*found;
}

const SimulatedWindow::Control* SimulatedWindow::Find(int control, const char* operation) const {
  const Control* state = Find(control);
  if (state == nullptr) {
    OnMisuse(std::string(operation) + ": dialog " + std::to_string(template_id_) +
             " has no control " + std::to_string(control));
  }
  return state;
}

SimulatedWindow::Control* SimulatedWindow::Find(int control, const char* operation) {
  const auto found = std::find_if(controls_.begin(), controls_.end(),
                                  [control](const Control& state) { return state.id == control; });
  if (found == controls_.end()) {
    OnMisuse(std::string(operation) + ": dialog " + std::to_string(template_id_) +
             " has no control " + std::to_string(control));
    return nullptr;
  }
  return &*found;
}

std::vector<const SimulatedWindow::Control*> SimulatedWindow::Buttons() const {
  std::vector<const Control*> buttons;
  for (const Control& control : controls_) {
    if (IsButton(control.kind) && control.visible) {
      buttons.push_back(&control);
    }
  }
  return buttons;
}

bool SimulatedWindow::IsSystemMenuCommand(std::uint32_t command) const {
  return std::any_of(menu_.begin(), menu_.end(), [command](const MenuItem& item) {
    return item.system && item.command == command;
  });
}

std::string SimulatedWindow::Text(int control) const {
  const Control* state = Find(control, "read text");
  return state == nullptr ? std::string() : state->text;
}

bool SimulatedWindow::IsEnabled(int control) const {
  const Control* state = Find(control, "read enabled state");
  return state != nullptr && state->enabled;
}

bool SimulatedWindow::IsVisible(int control) const {
  const Control* state = Find(control, "read visibility");
  return state != nullptr && state->visible;
}

ControlKind SimulatedWindow::KindOf(int control) const {
  const Control* state = Find(control, "read kind");
  return state == nullptr ? ControlKind::kStatic : state->kind;
}

const std::vector<std::string>& SimulatedWindow::ListEntries(int control) const {
  const Control* state = Find(control, "read list");
  return state == nullptr ? NoEntries() : state->entries;
}

int SimulatedWindow::ProgressPosition(int control) const {
  const Control* state = Find(control, "read progress");
  return state == nullptr ? 0 : state->position;
}

const std::vector<int>& SimulatedWindow::ProgressHistory(int control) const {
  const Control* state = Find(control, "read progress");
  return state == nullptr ? NoHistory() : state->history;
}

std::string SimulatedWindow::MenuItemText(std::uint32_t command) const {
  const auto found = std::find_if(menu_.begin(), menu_.end(), [command](const MenuItem& item) {
    return item.command == command;
  });
  return found == menu_.end() ? std::string() : found->text;
}

bool SimulatedWindow::TimerRunning(std::uint32_t id) const {
  return std::any_of(timers_.begin(), timers_.end(),
                     [id](const Timer& timer) { return timer.id == id; });
}

std::optional<std::uint64_t> SimulatedWindow::NextDeadline() const {
  std::optional<std::uint64_t> earliest;
  for (const Timer& timer : timers_) {
    if (!earliest || timer.deadline < *earliest) {
      earliest = timer.deadline;
    }
  }
  return earliest;
}

std::uint32_t SimulatedWindow::TakeDueTimer(std::uint64_t deadline) {
  for (Timer& timer : timers_) {
    if (timer.deadline == deadline) {
      timer.deadline += timer.period_ms;
      return timer.id;
    }
  }
  return 0;
}

void SimulatedWindow::SetControlText(int control, std::string_view text) {
  if (Control* state = Find(control, "set text")) {
    state->text = text;
    if (state->limit != 0 && text.size() > state->limit) {
      OnMisuse("dialog " + std::to_string(template_id_) + " control " + std::to_string(control) +
               " takes at most " + std::to_string(state->limit) + " bytes, not " +
               std::to_string(text.size()));
    }
  }
}

void SimulatedWindow::SetTextLimit(int control, std::size_t limit) {
  if (Control* state = Find(control, "limit text")) {
    state->limit = limit;
  }
}

void SimulatedWindow::EnableControl(int control, bool enabled) {
  if (Control* state = Find(control, "enable")) {
    state->enabled = enabled;
  }
}

void SimulatedWindow::ShowControl(int control, bool shown) {
  if (Control* state = Find(control, "show")) {
    state->visible = shown;
  }
}

void SimulatedWindow::ClearList(int control) {
  if (Control* state = Find(control, "clear list")) {
    state->entries.clear();
    state->selection = -1;
  }
}

void SimulatedWindow::AddListEntry(int control, std::string_view text) {
  if (Control* state = Find(control, "add list entry")) {
    state->entries.emplace_back(text);
  }
}

int SimulatedWindow::ListSelection(int control) const {
  const Control* state = Find(control, "read selection");
  return state == nullptr ? -1 : state->selection;
}

void SimulatedWindow::SelectListEntry(int control, int index) {
  if (Control* state = Find(control, "select")) {
    const bool valid = index >= 0 && static_cast<std::size_t>(index) < state->entries.size();
    state->selection = valid ? index : -1;
  }
}

void SimulatedWindow::SetProgressRange(int control, int low, int high) {
  if (Control* state = Find(control, "set progress range")) {
    state->low = low;
    state->high = high;
  }
}

void SimulatedWindow::SetProgress(int control, int position) {
  Control* state = Find(control, "set progress");
  if (state == nullptr) {
    return;
  }
  if (position < state->low || position > state->high) {
    OnMisuse("progress " + std::to_string(position) + " outside " + std::to_string(state->low) +
             ".." + std::to_string(state->high));
  }
  const bool moved = position != state->position;
  state->position = position;
  state->history.push_back(position);
  if (moved) {
    OnProgressMoved(*state);
  }
}

bool SimulatedWindow::StartTimer(std::uint32_t id, std::uint32_t period_ms) {
  if (timers_fail_ || (faults_ != nullptr && faults_->Fails(SystemCall::kTimer))) {
    return false;
  }
  StopTimer(id);
  timers_.push_back({id, period_ms, std::uint64_t{clock_.TickCount()} + period_ms});
  return true;
}

void SimulatedWindow::StopTimer(std::uint32_t id) {
  std::erase_if(timers_, [id](const Timer& timer) { return timer.id == id; });
}

void SimulatedWindow::Repaint() {
  ++repaints_;
  OnRepaint();
}

void SimulatedWindow::End(int result) {
  if (result_) {
    OnMisuse("dialog " + std::to_string(template_id_) + " ended twice");
  }
  result_ = result;
}

void SimulatedWindow::SetMenuItemText(std::uint32_t command, std::string_view text) {
  const auto found = std::find_if(menu_.begin(), menu_.end(), [command](const MenuItem& item) {
    return item.command == command;
  });
  if (found == menu_.end()) {
    OnMisuse("dialog " + std::to_string(template_id_) + " has no menu command " +
             std::to_string(command));
    return;
  }
  found->text = text;
}

bool SimulatedWindow::AppendSystemMenuEntry(std::uint32_t command, std::string_view text) {
  if (!has_system_menu_) {
    return false;
  }
  menu_.push_back({command, std::string(text), true});
  return true;
}

bool FireNextTimer(std::span<const OpenDialog> dialogs, platform::Clock& clock) {
  std::optional<std::uint64_t> earliest;
  const OpenDialog* owner = nullptr;
  for (const OpenDialog& dialog : dialogs) {
    const auto deadline = dialog.window->NextDeadline();
    if (deadline && (!earliest || *deadline < *earliest)) {
      earliest = deadline;
      owner = &dialog;
    }
  }
  if (owner == nullptr) {
    return false;
  }
  const std::uint64_t now = clock.TickCount();
  if (*earliest > now) {
    clock.Sleep(static_cast<std::uint32_t>(*earliest - now));
  }
  const OpenDialog dialog = *owner;
  const std::uint32_t id = dialog.window->TakeDueTimer(*earliest);
  dialog.logic->OnTimer(*dialog.window, id);
  return true;
}

void PassTime(std::span<const OpenDialog> dialogs, platform::Clock& clock,
              std::uint32_t period_ms) {
  const std::uint64_t until = std::uint64_t{clock.TickCount()} + period_ms;
  for (const OpenDialog& dialog : dialogs) {
    const auto deadline = dialog.window->NextDeadline();
    if (deadline && *deadline <= until) {
      FireNextTimer(dialogs, clock);
      return;
    }
  }
  clock.Sleep(period_ms);
}

bool SendShutdownRequest(std::span<const OpenDialog> dialogs, const ShutdownRequest& request) {
  bool refused = false;
  for (const OpenDialog& dialog : dialogs) {
    std::intptr_t answer = 0;
    refused = dialog.logic->OnGuardMessage(request.message, request.parameter, answer) || refused;
  }
  return refused;
}

}  // namespace fwu::sim
