#include "platform/win32/win32_clock.h"

#include <ctime>

#include "platform/win32/windows_api.h"

namespace fwu::win32 {

std::uint32_t Win32Clock::TickCount() {
  return GetTickCount();
}

std::int64_t Win32Clock::CalendarSeconds() {
  return static_cast<std::int64_t>(std::time(nullptr));
}

void Win32Clock::Sleep(std::uint32_t milliseconds) {
  // A wait never shrinks to a mere yield: Sleep(0) keeps its own meaning.
  const std::uint32_t scaled = milliseconds / wait_divisor_;
  ::Sleep(milliseconds != 0 && scaled == 0 ? 1 : scaled);
}

}  // namespace fwu::win32
