#include "app/screen_saver_suspension.h"

namespace fwu {
namespace {

constexpr std::uint32_t kActive = 1;

}  // namespace

ScreenSaverSuspension::ScreenSaverSuspension(platform::SystemServices& system,
                                             std::uint32_t& active)
    : system_(system), active_(active) {
  system_.ReadScreenSaverActive(active);
  if (active == kActive) {
    system_.WriteScreenSaverActive(false);
  }
}

void ScreenSaverSuspension::Restore() {
  if (restored_) {
    return;
  }
  restored_ = true;
  if (active_ == kActive) {
    system_.WriteScreenSaverActive(true);
  }
}

}  // namespace fwu
