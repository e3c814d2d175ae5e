#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/clock.h"

namespace fwu::fuzz {

// Time that moves only when the program waits: a sleep or a wait moves it on at once by the
// time asked for, so a run with hour-long time-outs takes no wall time and repeats exactly.
// What the scripted seams do "meanwhile" (a library completing a request) happens in the
// listeners, each time the clock moves.
class ManualClock final : public platform::Clock {
 public:
  static constexpr std::int64_t kEpochSeconds = 1'100'000'000;

  std::uint32_t TickCount() override { return static_cast<std::uint32_t>(now_ms_); }
  std::int64_t CalendarSeconds() override {
    return kEpochSeconds + static_cast<std::int64_t>(now_ms_ / 1000U);
  }
  void Sleep(std::uint32_t milliseconds) override;

  std::uint64_t NowMilliseconds() const { return now_ms_; }
  // Called with the new time after each move, in the order added.
  void OnAdvance(std::function<void(std::uint64_t now_ms)> listener) {
    listeners_.push_back(std::move(listener));
  }

 private:
  std::uint64_t now_ms_ = 0;
  std::vector<std::function<void(std::uint64_t)>> listeners_;
};

}  // namespace fwu::fuzz
