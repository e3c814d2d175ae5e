#include "app/drive_search.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "drive/identity.h"
#include "update/drive_checks.h"

namespace fwu {
namespace {

constexpr std::size_t kWorkBufferBytes = 3000;
constexpr std::uint32_t kClearingReadBytes = 2048;
constexpr std::uint32_t kClearingBlock = 16;
constexpr std::size_t kEntryVendorOffset = 5;
constexpr std::size_t kRevisionOffset = 32;
constexpr std::size_t kRevisionLength = 4;
constexpr std::uint8_t kAscMediumMayHaveChanged = 0x28;
constexpr std::uint8_t kAscPowerOnReset = 0x29;

using WorkBuffer = std::array<std::uint8_t, kWorkBufferBytes>;

enum class Finding : std::uint8_t { kPassedOver, kUpToDate, kNeedsUpdate };

bool Succeeded(RequestStatus status) {
  return status == RequestStatus::SS_COMP;
}

bool VendorMatches(std::string_view entry) {
  return entry.size() >= kEntryVendorOffset + kTargetVendor.size() &&
         entry.substr(kEntryVendorOffset, kTargetVendor.size()) == kTargetVendor;
}

// False when the drive still reports a unit attention after the last round. Whether a READ
// succeeds does not matter: a drive without a disc is as good as one with.
bool ClearUnitAttention(DriveTransport& transport, WorkBuffer& buffer) {
  for (int round = 0; round < kUnitAttentionClearingRounds; ++round) {
    buffer.fill(0);
    transport.SetDataBuffer(buffer.data(), kClearingReadBytes);
    transport.Read10(kClearingBlock, 1, 0, 0);
    std::uint8_t asc = 0;
    std::uint8_t ascq = 0;
    transport.GetLastAscAscq(asc, ascq);
    if (asc != kAscMediumMayHaveChanged && asc != kAscPowerOnReset) {
      return true;
    }
  }
  return false;
}

Finding Examine(DriveTransport& transport, std::span<const FirmwareImage> images,
                WorkBuffer& buffer) {
  if (!ClearUnitAttention(transport, buffer)) {
    return Finding::kPassedOver;
  }
  buffer.fill(0);
  transport.SetDataBuffer(buffer.data(), kIdentificationInquiryBytes);
  if (!Succeeded(transport.Inquiry(kIdentificationInquiryBytes))) {
    return Finding::kPassedOver;
  }
  // The model, and a revision of the "10" family.
  if (CheckModelAndRevision(buffer)) {
    return Finding::kPassedOver;
  }
  const std::string revision = TextAt(buffer, kRevisionOffset, kRevisionLength);
  const std::optional<DriveIdentification> identification = QueryIdentification(transport, buffer);
  if (!identification) {
    return Finding::kPassedOver;
  }
  const std::optional<std::size_t> entry = FindImage(images, identification->drive_code);
  if (!entry) {
    return Finding::kPassedOver;
  }
  // The same comparison as the dialog's. A revision whose last two characters hold no number
  // has nothing to compare; such a drive is not taken for one of the family.
  switch (CompareWithImage(revision, identification->build, images[*entry])) {
    case DriveCheckOutcome::kUpdateAllowed:
      return Finding::kNeedsUpdate;
    case DriveCheckOutcome::kUpdateUnnecessary:
      return Finding::kUpToDate;
    case DriveCheckOutcome::kNotSupportedDrive:
    case DriveCheckOutcome::kNotSupportedFirmware:
      break;
  }
  return Finding::kPassedOver;
}

}  // namespace

DriveSearchResult DriveSearch(DriveTransport& transport, std::span<const FirmwareImage> images) {
  DriveSearchResult result;
  WorkBuffer buffer{};
  const std::uint8_t count = transport.Enumerate();
  for (std::uint8_t i = 0; i < count; ++i) {
    if (!VendorMatches(transport.GetEntry(i))) {
      continue;
    }
    transport.Select(i);
    switch (Examine(transport, images, buffer)) {
      case Finding::kNeedsUpdate:
        result.updateNeeded = true;
        result.selected = i;
        return result;
      case Finding::kUpToDate:
        result.upToDateSeen = true;
        break;
      case Finding::kPassedOver:
        break;
    }
  }
  return result;
}

}  // namespace fwu
