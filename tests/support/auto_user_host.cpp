#include "support/auto_user_host.h"

#include <algorithm>
#include <stdexcept>

#include "resources/dialog_ids.h"
#include "support/shift_jis.h"

namespace fwu::test {

namespace {

// A dialog that asks more of the user than this is stuck; the user closes it.
constexpr int kMostActionsPerDialog = 8;

constexpr std::string_view kMessagePrefix = "message: ";

bool IsRebootNotice(int template_id) {
  return template_id == ids::kRebootNotice || template_id == ids::kRebootNoticeJapanese;
}

}  // namespace

AutoUserHost::AutoUserHost(platform::Clock& clock, Choices choices)
    : clock_(clock), choices_(choices) {}

int AutoUserHost::RunModal(platform::DialogLogic& logic, platform::WindowHandle /*parent*/) {
  const int template_id = logic.TemplateId();
  transcript_.push_back("open " + std::to_string(template_id));
  if (faults_ != nullptr && faults_->Fails(sim::SystemCall::kDialog)) {
    transcript_.back() += " failed";
    if (on_end_) {
      on_end_(template_id, platform::kDialogFailed);
    }
    return platform::kDialogFailed;
  }
  if (on_open_) {
    on_open_(template_id);
  }
  ScriptedWindow window(template_id, next_handle_, clock_, false);
  window.SetFaults(faults_);
  next_handle_ += 4;
  stack_.push_back({&window, &logic});
  logic.OnInitDialog(window);
  logic.OnPaint(window);
  int actions = 0;
  while (!window.Ended()) {
    if (const std::optional<std::uint64_t> deadline = window.NextDeadline()) {
      const std::uint64_t now = clock_.TickCount();
      if (*deadline > now) {
        clock_.Sleep(static_cast<std::uint32_t>(*deadline - now));
      }
      logic.OnTimer(window, window.TakeDueTimer(*deadline));
      continue;
    }
    if (++actions > kMostActionsPerDialog) {
      window.ForceEnd(platform::kIdCancel);
      break;
    }
    Act(window, logic);
    if (!window.Ended()) {
      logic.OnPaint(window);
    }
  }
  stack_.pop_back();
  const int result = window.Result().value_or(platform::kIdCancel);
  transcript_.push_back("end " + std::to_string(template_id) + ": " + std::to_string(result));
  if (on_end_) {
    on_end_(template_id, result);
  }
  return result;
}

bool AutoUserHost::HandleMessagesUntil(const std::function<bool()>& done,
                                       std::uint32_t check_period_ms) {
  while (!done()) {
    sim::PassTime(stack_, clock_, check_period_ms);
  }
  return true;
}

void AutoUserHost::Act(ScriptedWindow& window, platform::DialogLogic& logic) {
  const int template_id = window.TemplateId();
  if (template_id == ids::kAgreementDialog) {
    logic.OnCommand(window, choices_.agree ? ids::kAgree : ids::kNotAgree);
  } else if (IsRebootNotice(template_id)) {
    logic.OnCommand(window, choices_.accept_restart ? ids::kOk : ids::kRebootCancel);
  } else if (template_id == ids::kUpdateDialog) {
    if (window.IsEnabled(ids::kUpdateStart)) {
      logic.OnCommand(window, ids::kUpdateStart);
    } else if (window.IsEnabled(ids::kCancelButton)) {
      logic.OnCommand(window, ids::kCancelButton);
    } else {
      window.ForceEnd(platform::kIdCancel);
    }
  } else {
    logic.OnCommand(window, ids::kOk);
  }
}

int AutoUserHost::ShowMessageBox(platform::WindowHandle /*owner*/, std::string_view text,
                                 std::string_view /*caption*/, std::uint32_t /*style*/) {
  std::string utf8;
  try {
    utf8 = ShiftJisToUtf8(text);
  } catch (const std::invalid_argument&) {
    utf8 = std::string(text);
  }
  transcript_.push_back(std::string(kMessagePrefix) + utf8);
  return platform::kIdOk;
}

std::vector<std::string> AutoUserHost::Messages() const {
  std::vector<std::string> messages;
  for (const std::string& event : transcript_) {
    if (event.starts_with(kMessagePrefix)) {
      messages.push_back(event.substr(kMessagePrefix.size()));
    }
  }
  return messages;
}

bool AutoUserHost::Opened(int template_id) const {
  const std::string opened = "open " + std::to_string(template_id);
  return std::find(transcript_.begin(), transcript_.end(), opened) != transcript_.end();
}

}  // namespace fwu::test
