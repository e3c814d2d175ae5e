#include "support/manual_clock.h"

namespace fwu::fuzz {

void ManualClock::Sleep(std::uint32_t milliseconds) {
  // Even a yield lets the other side run, as a real time slice would.
  now_ms_ += milliseconds;
  for (const auto& listener : listeners_) {
    listener(now_ms_);
  }
}

}  // namespace fwu::fuzz
