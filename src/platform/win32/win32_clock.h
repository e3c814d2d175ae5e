#pragma once

#include <cstdint>

#include "platform/clock.h"

namespace fwu::win32 {

// The tick count, the calendar clock and Sleep. A test build of the program may divide every
// wait by wait_divisor so that an update under test takes seconds instead of minutes; the
// program that ships waits in full (divisor 1).
class Win32Clock final : public platform::Clock {
 public:
  explicit Win32Clock(std::uint32_t wait_divisor = 1)
      : wait_divisor_(wait_divisor == 0 ? 1 : wait_divisor) {}

  std::uint32_t TickCount() override;
  std::int64_t CalendarSeconds() override;
  void Sleep(std::uint32_t milliseconds) override;

  std::uint32_t WaitDivisor() const { return wait_divisor_; }

 private:
  std::uint32_t wait_divisor_;
};

}  // namespace fwu::win32
