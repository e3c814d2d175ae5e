#pragma once

#include <cstdint>

#include "platform/dialog_host.h"

namespace fwu::dialogs {

// Keeps Windows from logging off, shutting down, suspending or standing by while a dialog waits
// for the user: until the close permission is given, the dialog answers those requests itself
// and refuses them. Afterwards they take their usual course.
class ShutdownGuard {
 public:
  // True, with the refusal in answer, while the guard is in force and the message is one of
  // the requests it refuses.
  bool Answer(std::uint32_t message, std::uintptr_t parameter, std::intptr_t& answer) const;

  void AllowClose() { close_permission_ = 1; }
  std::uint8_t ClosePermission() const { return close_permission_; }

 private:
  std::uint8_t close_permission_ = 0;
};

// The base of every dialog that the guard protects.
class GuardedDialog : public platform::DialogLogic {
 public:
  bool OnGuardMessage(std::uint32_t message, std::uintptr_t parameter,
                      std::intptr_t& answer) final {
    return guard_.Answer(message, parameter, answer);
  }

  std::uint8_t ClosePermission() const { return guard_.ClosePermission(); }

 protected:
  // The guard ends with the dialog: the permission is given just before the dialog ends.
  void EndDialog(platform::DialogWindow& window, int result) {
    guard_.AllowClose();
    window.End(result);
  }

 private:
  ShutdownGuard guard_;
};

}  // namespace fwu::dialogs
