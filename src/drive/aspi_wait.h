#pragma once

#include <cstdint>

#include "platform/aspi_library.h"
#include "platform/clock.h"

namespace fwu {

// The status byte of an ASPI record, read as the library leaves it from its own thread.
std::uint8_t AspiRecordStatus(void* record);

// Waits for a request's completion event until it is signalled or `timeout_seconds` have passed
// on the calendar clock, counted in whole seconds from the start. That is when a poll of clock
// and event would stop; the thread blocks in the wait meanwhile instead of spinning. True when
// the event was signalled.
bool AwaitAspiCompletion(platform::AspiLibrary& aspi, platform::Clock& clock,
                         platform::EventHandle event, std::uint32_t timeout_seconds);

enum class WindowMessages : std::uint8_t { kPumped, kLeft };

// Waits until a record's status byte leaves 0 or `limit_seconds` have passed on the calendar
// clock, and returns the status byte (0 when the library still holds the record). Records
// without a completion event are watched by their status byte alone; with kPumped the window
// messages of the thread are handed on meanwhile, so the user interface stays alive.
std::uint8_t AwaitAspiRecordStatus(platform::AspiLibrary& aspi, platform::Clock& clock,
                                   void* record, std::uint32_t limit_seconds,
                                   WindowMessages messages);

// Hands window messages on for `seconds` of the calendar clock.
void PumpWindowMessagesFor(platform::AspiLibrary& aspi, platform::Clock& clock,
                           std::uint32_t seconds);

}  // namespace fwu
