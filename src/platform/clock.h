#pragma once

#include <cstdint>

namespace fwu::platform {

// Time as the program sees it. The simulated PC runs it virtually: nothing moves until every
// simulated thread waits, so long waits cost no wall time and every run repeats exactly.
class Clock {
 public:
  virtual ~Clock() = default;

  // Milliseconds since an arbitrary start (GetTickCount).
  virtual std::uint32_t TickCount() = 0;

  // The calendar clock in whole seconds (time()); the ASPI waits measure on it.
  virtual std::int64_t CalendarSeconds() = 0;

  // Blocks the calling thread; 0 only yields the rest of its time slice.
  virtual void Sleep(std::uint32_t milliseconds) = 0;
};

}  // namespace fwu::platform
