#pragma once

#include <cstdint>
#include <span>

#include "drive/drive_transport.h"
#include "update/firmware_image.h"

namespace fwu {

// A drive that keeps reporting a reset or a medium change is given this many READ(10) rounds
// to settle before the search counts it as not answering. Each round is already up to seven
// attempts (the transport retries a unit attention at once), and a drive queues one condition
// per event: power-on reset, medium change, new firmware. Two rounds clear every real queue;
// five leave a wide margin and still end within 35 attempts, a fraction of a second on any bus.
inline constexpr int kUnitAttentionClearingRounds = 5;

struct DriveSearchResult {
  // A drive needs the update; it is still selected in the DriveTransport.
  bool updateNeeded = false;
  // A drive that passed every identity test is at or above the image's version.
  bool upToDateSeen = false;
  std::uint8_t selected = 0;  // the entry selected, when updateNeeded
};

// Walks the drive list for the first drive of the family whose firmware is older than the
// image it carries. Drives of another vendor receive no command at all; a drive that fails a
// command, or never stops reporting unit attention, is passed over.
DriveSearchResult DriveSearch(DriveTransport& transport, std::span<const FirmwareImage> images);

}  // namespace fwu
