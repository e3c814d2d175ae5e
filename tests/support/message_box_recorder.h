#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dialog_host.h"

namespace fwu::test {

// A dialog host for code that only shows message boxes and beeps: it answers every box with OK
// and keeps what was shown, in order, as "beep <type>" and "box <text>" events.
class MessageBoxRecorder final : public platform::DialogHost {
 public:
  struct Box {
    platform::WindowHandle owner = 0;
    std::string text;  // in the program's encoding (code page 932 for Japanese)
    std::string caption;
    std::uint32_t style = 0;
  };

  int RunModal(platform::DialogLogic& /*logic*/, platform::WindowHandle /*parent*/) override {
    events.emplace_back("dialog");
    return 2;
  }
  int ShowMessageBox(platform::WindowHandle owner, std::string_view text, std::string_view caption,
                     std::uint32_t style) override {
    boxes.push_back(Box{owner, std::string(text), std::string(caption), style});
    events.push_back("box " + std::string(text));
    return 1;
  }
  void Beep(std::uint32_t type) override {
    beeps.push_back(type);
    events.push_back("beep " + std::to_string(type));
  }
  // No dialog runs here, so nothing can happen while a handler waits.
  bool HandleMessagesUntil(const std::function<bool()>& done,
                           std::uint32_t /*check_period_ms*/) override {
    return done();
  }
  void BeginWaitCursor() override {}
  void EndWaitCursor() override {}

  std::vector<Box> boxes;
  std::vector<std::uint32_t> beeps;
  std::vector<std::string> events;
};

}  // namespace fwu::test
