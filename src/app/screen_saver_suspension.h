#pragma once

#include <cstdint>

#include "platform/system_services.h"

namespace fwu {

// Keeps an active screen saver off while the program runs, so that it cannot start in the
// middle of a download, and gives it back on every way out. Only the state value 1 counts as
// active; an inactive screen saver is read and never touched.
class ScreenSaverSuspension {
 public:
  // Reads the state into `active` (the application object's field) and switches an active
  // screen saver off.
  ScreenSaverSuspension(platform::SystemServices& system, std::uint32_t& active);
  ~ScreenSaverSuspension() { Restore(); }
  ScreenSaverSuspension(const ScreenSaverSuspension&) = delete;
  ScreenSaverSuspension& operator=(const ScreenSaverSuspension&) = delete;

  // Switches it on again if it was active; later calls do nothing.
  void Restore();

 private:
  platform::SystemServices& system_;
  const std::uint32_t& active_;
  bool restored_ = false;
};

}  // namespace fwu
