#include "platform/sim/terminal_dialog_host.h"

#include <algorithm>
#include <cctype>
#include <sstream>

#include "platform/sim/terminal_text.h"

namespace fwu::sim {

namespace {

constexpr std::size_t kProgressCells = 50;
constexpr std::uint32_t kSystemCommandMask = 0xFFF0;
constexpr std::uint32_t kScClose = 0xF060;

bool IsButton(ControlKind kind) {
  return kind == ControlKind::kPushButton || kind == ControlKind::kDefaultButton;
}

bool IsText(ControlKind kind) {
  return kind == ControlKind::kStatic || kind == ControlKind::kEdit;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

}  // namespace

// One open dialog: the controls of its template in template order, their texts and states.
class TerminalDialogHost::Window final : public platform::DialogWindow {
 public:
  struct Control {
    int id = 0;
    ControlKind kind = ControlKind::kStatic;
    std::string text;
    bool enabled = true;
    bool visible = true;
    std::vector<std::string> entries;
    int selection = -1;
    int low = 0;
    int high = 100;
    int position = 0;
    mutable std::string shown;  // the text as last written to the terminal
  };

  Window(TerminalDialogHost& host, int template_id, platform::WindowHandle handle)
      : host_(host), handle_(handle) {
    const DialogTemplate* dialog = FindDialogTemplate(template_id);
    if (dialog == nullptr) {
      return;
    }
    title_ = dialog->title;
    has_system_menu_ = dialog->system_menu;
    for (const ControlTemplate& control : dialog->controls) {
      if (control.id < 0) {
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
      menu_.emplace_back(item.command, item.text);
    }
  }

  const std::string& Title() const { return title_; }
  const std::vector<Control>& Controls() const { return controls_; }
  std::vector<Control>& Controls() { return controls_; }
  const std::vector<std::pair<std::uint32_t, std::string>>& Menu() const { return menu_; }
  std::optional<int> Result() const { return result_; }
  void ForceEnd(int result) { result_ = result; }

  std::optional<std::uint64_t> NextDeadline() const {
    std::optional<std::uint64_t> earliest;
    for (const auto& [id, timer] : timers_) {
      if (!earliest || timer.second < *earliest) {
        earliest = timer.second;
      }
    }
    return earliest;
  }
  std::uint32_t TakeDueTimer(std::uint64_t deadline) {
    for (auto& [id, timer] : timers_) {
      if (timer.second == deadline) {
        timer.second += timer.first;
        return id;
      }
    }
    return 0;
  }

  // Buttons the user can press now, in template order.
  std::vector<const Control*> Buttons() const {
    std::vector<const Control*> buttons;
    for (const Control& control : controls_) {
      if (IsButton(control.kind) && control.visible) {
        buttons.push_back(&control);
      }
    }
    return buttons;
  }

  Control* Find(int id) {
    const auto found = std::find_if(controls_.begin(), controls_.end(),
                                    [id](const Control& control) { return control.id == id; });
    return found == controls_.end() ? nullptr : &*found;
  }
  const Control* Find(int id) const {
    const auto found = std::find_if(controls_.begin(), controls_.end(),
                                    [id](const Control& control) { return control.id == id; });
    return found == controls_.end() ? nullptr : &*found;
  }

  platform::WindowHandle Handle() const override { return handle_; }
  void SetTitle(std::string_view title) override { title_ = title; }
  void SetControlText(int control, std::string_view text) override {
    if (Control* state = Find(control)) {
      state->text = text;
    }
  }
  std::string ControlText(int control) const override {
    const Control* state = Find(control);
    return state == nullptr ? std::string() : state->text;
  }
  void SetTextLimit(int /*control*/, std::size_t /*limit*/) override {}
  void EnableControl(int control, bool enabled) override {
    if (Control* state = Find(control)) {
      state->enabled = enabled;
    }
  }
  void ShowControl(int control, bool shown) override {
    if (Control* state = Find(control)) {
      state->visible = shown;
    }
  }
  void ClearList(int control) override {
    if (Control* state = Find(control)) {
      state->entries.clear();
      state->selection = -1;
    }
  }
  void AddListEntry(int control, std::string_view text) override {
    if (Control* state = Find(control)) {
      state->entries.emplace_back(text);
    }
  }
  int ListSelection(int control) const override {
    const Control* state = Find(control);
    return state == nullptr ? -1 : state->selection;
  }
  void SelectListEntry(int control, int index) override {
    if (Control* state = Find(control)) {
      const bool valid = index >= 0 && static_cast<std::size_t>(index) < state->entries.size();
      state->selection = valid ? index : -1;
    }
  }
  void SetProgressRange(int control, int low, int high) override {
    if (Control* state = Find(control)) {
      state->low = low;
      state->high = high;
    }
  }
  void SetProgress(int control, int position) override {
    Control* state = Find(control);
    if (state == nullptr || state->position == position) {
      return;
    }
    state->position = position;
    host_.DrawProgress(position, state->low, state->high);
  }
  bool StartTimer(std::uint32_t id, std::uint32_t period_ms) override {
    timers_[id] = {period_ms, std::uint64_t{host_.clock_.TickCount()} + period_ms};
    return true;
  }
  void StopTimer(std::uint32_t id) override { timers_.erase(id); }
  // Texts that changed since the dialog was shown appear at once, as a repaint shows them.
  void Repaint() override {
    if (!shown_) {
      return;
    }
    for (Control& control : controls_) {
      if (!IsText(control.kind) || !control.visible || control.text == control.shown) {
        continue;
      }
      control.shown = control.text;
      if (Trimmed(control.text).empty()) {
        continue;
      }
      host_.Print("  " + Cp932ToUtf8(control.text));
    }
  }
  void End(int result) override { result_ = result; }
  void SetIcon(int /*icon_id*/) override {}
  void SetMenuItemText(std::uint32_t command, std::string_view text) override {
    for (auto& [id, caption] : menu_) {
      if (id == command) {
        caption = text;
      }
    }
  }
  bool AppendSystemMenuEntry(std::uint32_t command, std::string_view text) override {
    if (!has_system_menu_) {
      return false;
    }
    menu_.emplace_back(command, std::string(text));
    system_menu_commands_.push_back(command);
    return true;
  }
  bool IsSystemMenuCommand(std::uint32_t command) const {
    return std::find(system_menu_commands_.begin(), system_menu_commands_.end(), command) !=
           system_menu_commands_.end();
  }
  void MarkShown() const {
    shown_ = true;
    for (const Control& control : controls_) {
      control.shown = control.text;
    }
  }
  bool IsMinimized() const override { return false; }
  void DrawIconCentered(int /*icon_id*/) override {}

 private:
  TerminalDialogHost& host_;
  platform::WindowHandle handle_;
  std::string title_;
  bool has_system_menu_ = false;
  std::vector<Control> controls_;
  std::vector<std::pair<std::uint32_t, std::string>> menu_;
  std::vector<std::uint32_t> system_menu_commands_;
  std::map<std::uint32_t, std::pair<std::uint32_t, std::uint64_t>> timers_;  // period, deadline
  std::optional<int> result_;
  mutable bool shown_ = false;
};

TerminalDialogHost::TerminalDialogHost(std::istream& in, std::ostream& out, platform::Clock& clock,
                                       Options options)
    : in_(in), out_(out), clock_(clock), options_(options) {}

void TerminalDialogHost::EndProgressLine() {
  if (progress_line_open_) {
    out_ << '\n';
    progress_line_open_ = false;
  }
}

void TerminalDialogHost::Print(const std::string& utf8_text) {
  EndProgressLine();
  for (const std::string& line : WrapText(utf8_text, options_.columns)) {
    out_ << line << '\n';
  }
  out_.flush();
}

void TerminalDialogHost::DrawProgress(int position, int low, int high) {
  const int span = std::max(1, high - low);
  const int percent = std::clamp((position - low) * 100 / span, 0, 100);
  const auto filled = static_cast<std::size_t>(percent) * kProgressCells / 100;
  // Carriage return and redraw: the bar stays on one line while it moves.
  out_ << "\rProgress [" << std::string(filled, '#') << std::string(kProgressCells - filled, '.')
       << "] " << (percent < 100 ? (percent < 10 ? "  " : " ") : "") << percent << '%';
  out_.flush();
  progress_line_open_ = true;
}

void TerminalDialogHost::Show(const Window& window) {
  const std::string rule(options_.columns, '=');
  Print(rule);
  Print(Cp932ToUtf8(window.Title()));
  Print(std::string(options_.columns, '-'));
  for (const Window::Control& control : window.Controls()) {
    if (!control.visible) {
      continue;
    }
    if (IsText(control.kind) && !Trimmed(control.text).empty()) {
      Print(Cp932ToUtf8(control.text));
    } else if (control.kind == ControlKind::kDropDownList) {
      if (control.entries.empty()) {
        Print("  (no drive)");
      }
      for (std::size_t i = 0; i < control.entries.size(); ++i) {
        const bool selected = static_cast<int>(i) == control.selection;
        Print((selected ? "* " : "  ") + std::to_string(i + 1) + ") " +
              Cp932ToUtf8(control.entries[i]));
      }
    }
  }
  std::string buttons;
  int number = 0;
  for (const Window::Control* button : window.Buttons()) {
    ++number;
    const std::string caption = Cp932ToUtf8(button->text);
    const std::string item =
        button->enabled ? "[" + std::to_string(number) + "] " + caption : "(" + caption + ")";
    const bool is_default = button->kind == ControlKind::kDefaultButton && button->enabled;
    buttons += (buttons.empty() ? "" : "  ") + item + (is_default ? " <default>" : "");
  }
  Print(buttons);
  std::string menu;
  for (std::size_t i = 0; i < window.Menu().size(); ++i) {
    menu += (menu.empty() ? "Menu: " : "  ") + std::string("menu ") + std::to_string(i + 1) +
            " = " + Cp932ToUtf8(window.Menu()[i].second);
  }
  if (!menu.empty()) {
    Print(menu);
  }
  window.MarkShown();
}

std::optional<std::string> TerminalDialogHost::ReadAnswer() {
  EndProgressLine();
  out_ << "> ";
  out_.flush();
  std::string line;
  if (input_ended_ || !std::getline(in_, line)) {
    input_ended_ = true;
    out_ << "(end of input)\n";
    return std::nullopt;
  }
  if (!line.empty() && line.back() == '\r') {
    line.pop_back();
  }
  if (options_.echo_input) {
    out_ << line << '\n';
  }
  return line;
}

int TerminalDialogHost::RunModal(platform::DialogLogic& logic, platform::WindowHandle /*parent*/) {
  Window window(*this, logic.TemplateId(), next_handle_);
  next_handle_ += 4;
  stack_.push_back({&window, &logic});
  logic.OnInitDialog(window);
  logic.OnPaint(window);
  bool shown = false;
  while (!window.Result()) {
    if (FireNextTimer()) {
      shown = false;
      continue;
    }
    if (!shown) {
      Show(window);
      shown = true;
    }
    const std::optional<std::string> answer = ReadAnswer();
    if (!answer) {
      // Nobody is left to answer: the default button, as Enter would; failing that, the dialog
      // is closed so that the program comes to an end.
      PressDefault(stack_.back());
      if (!window.Result() && !FireNextTimer()) {
        Print("(no answer: the dialog is closed)");
        window.ForceEnd(platform::kIdCancel);
      }
      continue;
    }
    Answer(stack_.back(), *answer);
    if (!window.Result()) {
      logic.OnPaint(window);
      window.Repaint();
    }
  }
  stack_.pop_back();
  EndProgressLine();
  return *window.Result();
}

void TerminalDialogHost::PressDefault(Frame frame) {
  for (const Window::Control* button : frame.window->Buttons()) {
    if (button->kind == ControlKind::kDefaultButton && button->enabled) {
      frame.logic->OnCommand(*frame.window, button->id);
      return;
    }
  }
}

void TerminalDialogHost::Answer(Frame frame, const std::string& raw) {
  Window& window = *frame.window;
  platform::DialogLogic& logic = *frame.logic;
  const std::string answer = Trimmed(raw);
  if (answer.empty()) {
    PressDefault(frame);
    return;
  }
  const std::string lower = Lower(answer);
  std::istringstream words(lower);
  std::string verb;
  int number = 0;
  words >> verb;
  const bool has_number = static_cast<bool>(words >> number);
  if (verb == "close") {
    logic.OnCloseRequest(window);
    return;
  }
  if (verb == "escape") {
    logic.OnCommand(window, platform::kIdCancel);
    return;
  }
  if (verb == "shutdown") {
    Shutdown();
    return;
  }
  if (verb == "menu" && has_number && number >= 1 &&
      static_cast<std::size_t>(number) <= window.Menu().size()) {
    const std::uint32_t command = window.Menu()[static_cast<std::size_t>(number) - 1].first;
    if (window.IsSystemMenuCommand(command)) {
      if (!logic.OnSystemCommand(window, command) && (command & kSystemCommandMask) == kScClose) {
        logic.OnCloseRequest(window);
      }
    } else {
      logic.OnCommand(window, static_cast<int>(command));
    }
    return;
  }
  if (verb == "select" && has_number) {
    for (Window::Control& control : window.Controls()) {
      if (control.kind == ControlKind::kDropDownList && control.visible && control.enabled &&
          number >= 1 && static_cast<std::size_t>(number) <= control.entries.size()) {
        window.SelectListEntry(control.id, number - 1);
        logic.OnSelectionChange(window, control.id);
        return;
      }
    }
    Print("(no such drive to select)");
    return;
  }
  const std::vector<const Window::Control*> buttons = window.Buttons();
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    const bool chosen =
        answer == std::to_string(i + 1) || lower == Lower(Cp932ToUtf8(buttons[i]->text));
    if (!chosen) {
      continue;
    }
    if (!buttons[i]->enabled) {
      // Appended piece by piece: GCC 12 misreads "(" + text + ")" at -O3 (a false -Wrestrict).
      std::string note = "(";
      note += Cp932ToUtf8(buttons[i]->text);
      note += " is not available now)";
      Print(note);
      return;
    }
    logic.OnCommand(window, buttons[i]->id);
    return;
  }
  Print(
      "(answer with a button's number or caption, an empty line for the default button, "
      "\"select N\", \"menu N\", \"close\", \"escape\" or \"shutdown\")");
}

void TerminalDialogHost::Shutdown() {
  struct Request {
    const char* name;
    std::uint32_t message;
    std::uintptr_t parameter;
  };
  static constexpr Request kRequests[] = {
      {"log off / shut down", platform::kWmQueryEndSession, 0},
      {"end session", platform::kWmEndSession, 1},
      {"suspend", platform::kWmPower, platform::kPwrSuspendRequest},
      {"query suspend", platform::kWmPowerBroadcast, platform::kPbtApmQuerySuspend},
      {"query standby", platform::kWmPowerBroadcast, platform::kPbtApmQueryStandby},
  };
  for (const Request& request : kRequests) {
    bool refused = false;
    for (const Frame& frame : stack_) {
      std::intptr_t answer = 0;
      refused = frame.logic->OnGuardMessage(request.message, request.parameter, answer) || refused;
    }
    Print(std::string("(") + request.name + ": " + (refused ? "refused" : "allowed") + ")");
  }
}

bool TerminalDialogHost::FireNextTimer() {
  std::optional<std::uint64_t> earliest;
  std::size_t owner = 0;
  for (std::size_t i = 0; i < stack_.size(); ++i) {
    const auto deadline = stack_[i].window->NextDeadline();
    if (deadline && (!earliest || *deadline < *earliest)) {
      earliest = deadline;
      owner = i;
    }
  }
  if (!earliest) {
    return false;
  }
  const std::uint64_t now = clock_.TickCount();
  if (*earliest > now) {
    clock_.Sleep(static_cast<std::uint32_t>(*earliest - now));
  }
  const Frame frame = stack_[owner];
  frame.logic->OnTimer(*frame.window, frame.window->TakeDueTimer(*earliest));
  return true;
}

int TerminalDialogHost::ShowMessageBox(platform::WindowHandle /*owner*/, std::string_view text,
                                       std::string_view caption, std::uint32_t /*style*/) {
  Print(std::string(options_.columns, '*'));
  Print(Cp932ToUtf8(caption));
  Print(Cp932ToUtf8(text));
  Print("[1] OK <default>");
  ReadAnswer();
  return platform::kIdOk;
}

void TerminalDialogHost::Beep(std::uint32_t /*type*/) {
  EndProgressLine();
  out_ << "(beep)\n";
  out_.flush();
}

}  // namespace fwu::sim
