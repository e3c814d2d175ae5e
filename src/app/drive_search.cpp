#include "app/drive_search.h"

#include <array>
#include <string_view>

#include "drive/identity.h"

namespace fwu {
namespace {

constexpr std::size_t kWorkBufferBytes = 3000;
constexpr std::uint32_t kClearingReadBytes = 2048;
constexpr std::uint32_t kClearingBlock = 16;
constexpr std::size_t kEntryVendorOffset = 5;
constexpr std::uint8_t kAscMediumMayHaveChanged = 0x28;
constexpr std::uint8_t kAscPowerOnReset = 0x29;

using WorkBuffer = std::array<std::uint8_t, kWorkBufferBytes>;

// Both list forms put the identity text at the same place.
bool VendorMatches(std::string_view entry) {
  return entry.size() >= kEntryVendorOffset && VendorIsTarget(entry.substr(kEntryVendorOffset));
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

}  // namespace

DriveExamination ExamineDrive(DriveTransport& transport, std::span<const FirmwareImage> images) {
  DriveExamination examination;
  WorkBuffer buffer{};
  if (!ClearUnitAttention(transport, buffer)) {
    examination.finding = DriveFinding::kKeepsUnitAttention;
    return examination;
  }
  buffer.fill(0);
  transport.SetDataBuffer(buffer.data(), kIdentificationInquiryBytes);
  if (!Succeeded(transport.Inquiry(kIdentificationInquiryBytes))) {
    examination.finding = DriveFinding::kNoAnswer;
    return examination;
  }
  examination.revision = RevisionText(buffer);
  // The model, and a revision of the "10" family.
  if (CheckModelAndRevision(buffer)) {
    examination.finding = DriveFinding::kNotSupported;
    return examination;
  }
  examination.identification = QueryIdentification(transport, buffer);
  if (!examination.identification) {
    examination.finding = DriveFinding::kNoAnswer;
    return examination;
  }
  examination.image = FindImage(images, examination.identification->drive_code);
  if (!examination.image) {
    examination.finding = DriveFinding::kNotSupported;
    return examination;
  }
  // The same comparison as the dialog's. A revision whose last two characters hold no number
  // has nothing to compare; such a drive is not taken for one of the family.
  switch (CompareWithImage(examination.revision, examination.identification->build,
                           images[*examination.image])) {
    case DriveCheckOutcome::kUpdateAllowed:
      examination.finding = DriveFinding::kNeedsUpdate;
      break;
    case DriveCheckOutcome::kUpdateUnnecessary:
      examination.finding = DriveFinding::kUpToDate;
      break;
    case DriveCheckOutcome::kNotSupportedDrive:
    case DriveCheckOutcome::kNotSupportedFirmware:
      examination.finding = DriveFinding::kNotSupported;
      break;
  }
  return examination;
}

DriveSearchResult DriveSearch(DriveTransport& transport, std::span<const FirmwareImage> images) {
  DriveSearchResult result;
  const std::uint8_t count = transport.Enumerate();
  for (std::uint8_t i = 0; i < count; ++i) {
    if (!VendorMatches(transport.GetEntry(i))) {
      continue;
    }
    transport.Select(i);
    switch (ExamineDrive(transport, images).finding) {
      case DriveFinding::kNeedsUpdate:
        result.updateNeeded = true;
        result.selected = i;
        return result;
      case DriveFinding::kUpToDate:
        result.upToDateSeen = true;
        break;
      case DriveFinding::kKeepsUnitAttention:
      case DriveFinding::kNoAnswer:
      case DriveFinding::kNotSupported:
        break;
    }
  }
  return result;
}

}  // namespace fwu
