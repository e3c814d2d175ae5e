#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

#include "platform/dialog_host.h"

namespace fwu::fuzz {

// A user who closes every dialog and message box at once: message boxes answer OK, dialogs
// cancel. It counts what was shown, so that a run can tell whether the user was told.
class QuietDialogHost final : public platform::DialogHost {
 public:
  int RunModal(platform::DialogLogic& /*logic*/, platform::WindowHandle /*parent*/) override {
    ++dialogs_;
    return platform::kIdCancel;
  }
  int ShowMessageBox(platform::WindowHandle /*owner*/, std::string_view /*text*/,
                     std::string_view /*caption*/, std::uint32_t /*style*/) override {
    ++message_boxes_;
    return platform::kIdOk;
  }
  void Beep(std::uint32_t /*type*/) override {}
  // No dialog runs here, so nothing can happen while a handler waits.
  bool HandleMessagesUntil(const std::function<bool()>& done,
                           std::uint32_t /*check_period_ms*/) override {
    return done();
  }
  void BeginWaitCursor() override { ++wait_cursor_depth_; }
  void EndWaitCursor() override { --wait_cursor_depth_; }

  std::size_t MessageBoxes() const { return message_boxes_; }
  std::size_t Dialogs() const { return dialogs_; }
  int WaitCursorDepth() const { return wait_cursor_depth_; }

 private:
  std::size_t message_boxes_ = 0;
  std::size_t dialogs_ = 0;
  int wait_cursor_depth_ = 0;
};

}  // namespace fwu::fuzz
