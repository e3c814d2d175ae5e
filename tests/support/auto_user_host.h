#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/dialog_host.h"
#include "support/scripted_dialog_host.h"

namespace fwu::test {

// A user who goes along with the program without a script: agrees to the terms, confirms every
// notice, presses Update Start when the main dialog allows it and CANCEL when it does not, and
// otherwise waits while the dialogs' timers run on the program's clock. Scenarios whose dialogs
// are not known in advance (sweeps, runs after a crash) use it.
class AutoUserHost final : public platform::DialogHost {
 public:
  struct Choices {
    bool agree = true;
    bool accept_restart = true;
  };

  explicit AutoUserHost(platform::Clock& clock) : AutoUserHost(clock, Choices{}) {}
  AutoUserHost(platform::Clock& clock, Choices choices);

  // Runs whenever a dialog opens, with its template, before the user acts.
  void OnOpen(std::function<void(int template_id)> hook) { on_open_ = std::move(hook); }
  // Runs whenever a dialog ends, with its template and result (kDialogFailed for one that
  // could not be created).
  void OnEnd(std::function<void(int template_id, int result)> hook) { on_end_ = std::move(hook); }
  // Dialogs and timers are created only when the faults let them.
  void SetFaults(sim::SystemCallFaults* faults) { faults_ = faults; }

  int RunModal(platform::DialogLogic& logic, platform::WindowHandle parent) override;
  // The user waits; the open dialogs' timers run.
  bool HandleMessagesUntil(const std::function<bool()>& done,
                           std::uint32_t check_period_ms) override;
  int ShowMessageBox(platform::WindowHandle owner, std::string_view text, std::string_view caption,
                     std::uint32_t style) override;
  void Beep(std::uint32_t /*type*/) override { transcript_.emplace_back("beep"); }
  void BeginWaitCursor() override {}
  void EndWaitCursor() override {}

  // "open N" ("open N failed" for a dialog that could not be created), "end N: R",
  // "message: text" (UTF-8), "beep", in order.
  const std::vector<std::string>& Transcript() const { return transcript_; }
  // The texts of the message boxes, in UTF-8.
  std::vector<std::string> Messages() const;
  bool Opened(int template_id) const;

 private:
  void Act(ScriptedWindow& window, platform::DialogLogic& logic);

  platform::Clock& clock_;
  Choices choices_;
  std::function<void(int)> on_open_;
  std::function<void(int, int)> on_end_;
  sim::SystemCallFaults* faults_ = nullptr;
  std::vector<sim::OpenDialog> stack_;
  std::vector<std::string> transcript_;
  platform::WindowHandle next_handle_ = 0x3000;
};

}  // namespace fwu::test
