#include "drive/aspi_wait.h"

#include <algorithm>
#include <atomic>

#include "drive/aspi_records.h"

namespace fwu {
namespace {

// The calendar clock ticks in whole seconds, so the moment a wait must end is known only to
// within its last second: until then the wait blocks, and through the last second it looks at
// the clock this often.
constexpr std::uint32_t kLastSecondSliceMs = 1;
// A record without an event is looked at this often (the last second excepted).
constexpr std::uint32_t kStatusPollMs = 10;
// Longest single blocking wait; far below the value that means "forever".
constexpr std::int64_t kLongestWaitMs = 86'400'000;

std::int64_t SecondsSince(platform::Clock& clock, std::int64_t start) {
  return clock.CalendarSeconds() - start;
}

// How long one wait may block when `remaining` whole seconds are left and the wait must also
// look at something every `poll_ms`: the clock reaches the limit between remaining - 1 and
// remaining seconds from now, so only the last second needs the fine slices.
std::uint32_t NextWaitMs(std::int64_t remaining, std::int64_t poll_ms) {
  if (remaining <= 1) {
    return kLastSecondSliceMs;
  }
  return static_cast<std::uint32_t>(std::min((remaining - 1) * 1000, poll_ms));
}

}  // namespace

std::uint8_t AspiRecordStatus(void* record) {
  auto* status = static_cast<std::uint8_t*>(record) + aspi::kStatusOffset;
  return std::atomic_ref<std::uint8_t>(*status).load(std::memory_order_acquire);
}

bool AwaitAspiCompletion(platform::AspiLibrary& aspi, platform::Clock& clock,
                         platform::EventHandle event, std::uint32_t timeout_seconds) {
  const std::int64_t start = clock.CalendarSeconds();
  if (aspi.WaitForCompletion(event, 0)) {
    return true;
  }
  for (;;) {
    const std::int64_t remaining = std::int64_t{timeout_seconds} - SecondsSince(clock, start);
    if (remaining <= 0) {
      // A poll reads the clock before it tests the event; a signal that arrived with the last
      // tick still counts.
      return aspi.WaitForCompletion(event, 0);
    }
    if (aspi.WaitForCompletion(event, NextWaitMs(remaining, kLongestWaitMs))) {
      return true;
    }
  }
}

std::uint8_t AwaitAspiRecordStatus(platform::AspiLibrary& aspi, platform::Clock& clock,
                                   void* record, std::uint32_t limit_seconds,
                                   WindowMessages messages) {
  const std::int64_t start = clock.CalendarSeconds();
  for (;;) {
    const std::int64_t remaining = std::int64_t{limit_seconds} - SecondsSince(clock, start);
    const std::uint8_t status = AspiRecordStatus(record);
    if (status != 0 || remaining <= 0) {
      return status;
    }
    const std::uint32_t wait_ms = NextWaitMs(remaining, kStatusPollMs);
    if (messages == WindowMessages::kPumped) {
      aspi.PumpWindowMessage(wait_ms);
    } else {
      clock.Sleep(wait_ms);
    }
  }
}

void PumpWindowMessagesFor(platform::AspiLibrary& aspi, platform::Clock& clock,
                           std::uint32_t seconds) {
  const std::int64_t start = clock.CalendarSeconds();
  for (;;) {
    const std::int64_t remaining = std::int64_t{seconds} - SecondsSince(clock, start);
    if (remaining <= 0) {
      return;
    }
    // The pump returns early for every message, so it may block up to the last second.
    aspi.PumpWindowMessage(NextWaitMs(remaining, kLongestWaitMs));
  }
}

}  // namespace fwu
