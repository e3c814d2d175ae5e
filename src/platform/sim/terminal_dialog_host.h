#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/dialog_host.h"
#include "platform/sim/simulated_window.h"
#include "resources/dialog_templates.h"

namespace fwu::sim {

// The simulated PC's dialogs in a terminal. Each dialog is shown as text (title, texts, the
// drive list, the status line, the buttons to choose from); the progress bar is one line that
// is redrawn in place. Answers come line by line from the input, which may be a script file:
// a button's number or caption, an empty line for the default button, "select N" for a drive,
// "menu N" for a menu command, "close", "escape" and "shutdown". While a dialog has a timer
// running it waits for the timer instead of the user, on the simulated PC's clock.
class TerminalDialogHost final : public platform::DialogHost {
 public:
  struct Options {
    std::size_t columns = 80;
    // Writes each answer after its prompt, for input that is not typed at a terminal.
    bool echo_input = false;
    // Redraws the progress bar in place (a terminal); else writes a line each time it passes
    // another tenth, which reads well in a log.
    bool redraw_progress = true;
    // The PC's faults: a dialog or a timer they fail is not created. None when null.
    SystemCallFaults* faults = nullptr;
  };

  TerminalDialogHost(std::istream& in, std::ostream& out, platform::Clock& clock, Options options);

  int RunModal(platform::DialogLogic& logic, platform::WindowHandle parent) override;
  // While a handler waits, the dialogs' timers run on the clock; the user is not asked.
  bool HandleMessagesUntil(const std::function<bool()>& done,
                           std::uint32_t check_period_ms) override;
  int ShowMessageBox(platform::WindowHandle owner, std::string_view text, std::string_view caption,
                     std::uint32_t style) override;
  void Beep(std::uint32_t type) override;
  void BeginWaitCursor() override {}
  void EndWaitCursor() override {}

 private:
  class Window;

  void Show(Window& window);
  void Print(const std::string& utf8_text);
  void EndProgressLine();
  void DrawProgress(int position, int low, int high);
  std::optional<std::string> ReadAnswer();
  void Answer(OpenDialog frame, const std::string& answer);
  void PressDefault(OpenDialog frame);
  void Shutdown();

  std::istream& in_;
  std::ostream& out_;
  platform::Clock& clock_;
  Options options_;
  std::vector<OpenDialog> stack_;
  platform::WindowHandle next_handle_ = 0x2000;
  bool progress_line_open_ = false;
  int progress_tenths_shown_ = -1;
  bool input_ended_ = false;
};

}  // namespace fwu::sim
