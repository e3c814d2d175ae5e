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

// One open dialog, shown on the terminal: the progress bar is redrawn as it moves, and texts
// that change after the dialog was shown appear as a repaint shows them.
class TerminalDialogHost::Window final : public SimulatedWindow {
 public:
  Window(TerminalDialogHost& host, int template_id, platform::WindowHandle handle)
      : SimulatedWindow(template_id, handle, host.clock_), host_(host) {}

  void MarkShown() {
    shown_ = true;
    for (const Control& control : Controls()) {
      shown_texts_[control.id] = control.text;
    }
  }

 protected:
  void OnProgressMoved(const Control& control) override {
    host_.DrawProgress(control.position, control.low, control.high);
  }

  void OnRepaint() override {
    if (!shown_) {
      return;
    }
    for (const Control& control : Controls()) {
      std::string& shown = shown_texts_[control.id];
      if (!IsText(control.kind) || !control.visible || control.text == shown) {
        continue;
      }
      shown = control.text;
      if (!Trimmed(control.text).empty()) {
        host_.Print("  " + Cp932ToUtf8(control.text));
      }
    }
  }

 private:
  TerminalDialogHost& host_;
  bool shown_ = false;
  std::map<int, std::string> shown_texts_;
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
  if (!options_.redraw_progress) {
    if (percent / 10 == progress_tenths_shown_) {
      return;
    }
    progress_tenths_shown_ = percent / 10;
  }
  const auto filled = static_cast<std::size_t>(percent) * kProgressCells / 100;
  // On a terminal a carriage return and a redraw keep the bar on one line while it moves.
  out_ << (options_.redraw_progress ? "\r" : "") << "Progress [" << std::string(filled, '#')
       << std::string(kProgressCells - filled, '.') << "] "
       << (percent < 100 ? (percent < 10 ? "  " : " ") : "") << percent << '%';
  if (options_.redraw_progress) {
    progress_line_open_ = true;
  } else {
    out_ << '\n';
  }
  out_.flush();
}

void TerminalDialogHost::Show(Window& window) {
  const std::string rule(options_.columns, '=');
  Print(rule);
  Print(Cp932ToUtf8(window.Title()));
  Print(std::string(options_.columns, '-'));
  for (const SimulatedWindow::Control& control : window.Controls()) {
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
  for (const SimulatedWindow::Control* button : window.Buttons()) {
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
            " = " + Cp932ToUtf8(window.Menu()[i].text);
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
  if (options_.faults != nullptr && options_.faults->Fails(SystemCall::kDialog)) {
    Print("(dialog " + std::to_string(logic.TemplateId()) + " could not be shown)");
    return platform::kDialogFailed;
  }
  Window window(*this, logic.TemplateId(), next_handle_);
  window.SetFaults(options_.faults);
  next_handle_ += 4;
  stack_.push_back({&window, &logic});
  logic.OnInitDialog(window);
  logic.OnPaint(window);
  bool shown = false;
  while (!window.Result()) {
    if (FireNextTimer(stack_, clock_)) {
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
      if (!window.Result() && !FireNextTimer(stack_, clock_)) {
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

bool TerminalDialogHost::HandleMessagesUntil(const std::function<bool()>& done,
                                             std::uint32_t check_period_ms) {
  while (!done()) {
    PassTime(stack_, clock_, check_period_ms);
  }
  return true;
}

void TerminalDialogHost::PressDefault(OpenDialog frame) {
  for (const SimulatedWindow::Control* button : frame.window->Buttons()) {
    if (button->kind == ControlKind::kDefaultButton && button->enabled) {
      frame.logic->OnCommand(*frame.window, button->id);
      return;
    }
  }
}

void TerminalDialogHost::Answer(OpenDialog frame, const std::string& raw) {
  SimulatedWindow& window = *frame.window;
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
    const std::uint32_t command = window.Menu()[static_cast<std::size_t>(number) - 1].command;
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
    for (const SimulatedWindow::Control& control : window.Controls()) {
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
  const std::vector<const SimulatedWindow::Control*> buttons = window.Buttons();
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
  for (const ShutdownRequest& request : kShutdownRequests) {
    const bool refused = SendShutdownRequest(stack_, request);
    Print(std::string("(") + request.name + ": " + (refused ? "refused" : "allowed") + ")");
  }
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
