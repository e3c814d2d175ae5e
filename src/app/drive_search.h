#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "drive/drive_transport.h"
#include "update/drive_checks.h"
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

// What the search makes of one drive.
enum class DriveFinding : std::uint8_t {
  kKeepsUnitAttention,  // still reports a reset or medium change after every round
  kNoAnswer,            // INQUIRY or the identification query failed
  kNotSupported,        // another model, a revision outside the family, or no image for its code
  kUpToDate,
  kNeedsUpdate,
};

// One drive as the search examined it; the fields are filled as far as the examination got.
struct DriveExamination {
  DriveFinding finding = DriveFinding::kNoAnswer;
  std::string revision{};  // INQUIRY bytes 32-35, once INQUIRY has answered
  std::optional<DriveIdentification> identification{};
  std::optional<std::size_t> image{};  // the image-list entry for the drive's code
};

// The identity tests and the version comparison on the drive selected in the transport:
// clears pending unit attentions, reads INQUIRY and the identification query, and compares
// with the image list.
DriveExamination ExamineDrive(DriveTransport& transport, std::span<const FirmwareImage> images);

// Walks the drive list for the first drive of the family whose firmware is older than the
// image it carries. Drives of another vendor receive no command at all; a drive that fails a
// command, or never stops reporting unit attention, is passed over.
DriveSearchResult DriveSearch(DriveTransport& transport, std::span<const FirmwareImage> images);

}  // namespace fwu
