#include "drive/device_node_transport.h"

#include <algorithm>
#include <span>

#include "drive/busy_guard.h"
#include "drive/error_text.h"
#include "drive/identity.h"
#include "drive/pass_through_record.h"
#include "drive/status_texts.h"
#include "resources/drive_messages.h"
#include "resources/format.h"
#include "resources/message_language.h"

namespace fwu {
namespace {

// Host adapter statuses of the request model (the ASPI codes) for what the system reports
// below the drive.
constexpr std::uint8_t kHostSelectionTimeout = 0x11;
constexpr std::uint8_t kHostDataOverrunUnderrun = 0x12;

platform::TransferDirection TransferOf(DataDirection direction) {
  switch (direction) {
    case DataDirection::kIn:
      return platform::TransferDirection::kFromDevice;
    case DataDirection::kOut:
      return platform::TransferDirection::kToDevice;
    case DataDirection::kNone:
      break;
  }
  return platform::TransferDirection::kNone;
}

}  // namespace

DeviceNodeTransport::DeviceNodeTransport(platform::ScsiCommandDriver& driver,
                                         const platform::Locale& locale)
    : Transport(kCommandTimeoutSeconds, /*names_commands=*/false),
      driver_(driver),
      locale_(locale) {}

DeviceNodeTransport::~DeviceNodeTransport() {
  ReleaseDrive();
}

std::string DeviceNodeTransport::GetEntry(std::uint8_t index) const {
  if (index >= entries_.size()) {
    return {};
  }
  return FormatText("%s   %16.28s", entries_[index].path.c_str(), entries_[index].identity.c_str());
}

std::string DeviceNodeTransport::DevicePath(std::uint8_t index) const {
  return index < entries_.size() ? entries_[index].path : std::string();
}

std::string DeviceNodeTransport::Identity(std::uint8_t index) const {
  return index < entries_.size() ? entries_[index].identity : std::string();
}

void DeviceNodeTransport::Select(std::uint8_t index) {
  if (index != held_slot_) {
    ReleaseDrive();
  }
  request_.address = DriveAddress{};
  request_.address.slot = index;
}

void DeviceNodeTransport::ReleaseDrive() {
  if (held_ != platform::kNoDrive) {
    driver_.Close(held_);
    held_ = platform::kNoDrive;
  }
}

const std::string* DeviceNodeTransport::PathOf(std::uint8_t slot) const {
  if (slot == kProbeSlot) {
    return &probe_path_;
  }
  return slot < entries_.size() ? &entries_[slot].path : nullptr;
}

platform::DriveHandle DeviceNodeTransport::HeldDrive(std::uint8_t slot, const std::string& path) {
  if (held_ != platform::kNoDrive && held_slot_ == slot) {
    return held_;
  }
  ReleaseDrive();
  const platform::DriveOpening opening = driver_.Open(path);
  if (opening.handle == platform::kNoDrive) {
    const std::string format(texts::kGetHandleError.In(CurrentMessageLanguage(locale_)));
    request_.error_text =
        FormatText(format.c_str(), opening.system_error) + SystemMessageLine(opening.system_error);
    return platform::kNoDrive;
  }
  held_ = opening.handle;
  held_slot_ = slot;
  return held_;
}

std::string DeviceNodeTransport::SystemMessageLine(int system_error) {
  return FormatText("%s\n", driver_.SystemErrorText(system_error).c_str());
}

RequestStatus DeviceNodeTransport::ExecuteOnce(const std::uint8_t* cdb, std::uint8_t cdb_length,
                                               std::uint32_t /*timeout_seconds*/) {
  const std::uint32_t length = BeginDriveAttempt(cdb);
  const std::uint8_t slot = request_.address.slot;
  const DataDirection direction = request_.direction;

  const std::string* path = PathOf(slot);
  if (path == nullptr) {
    return Fail(RequestStatus::SS_NO_DEVICE, "No Device.");
  }
  if (busy_) {
    return Fail(RequestStatus::RS_TARGET_BUSY, "Inuse");
  }
  const BusyGuard busy(busy_);
  if (length > kStagingAreaBytes || (length != 0 && request_.data == nullptr)) {
    return Fail(RequestStatus::SS_BUFFER_TO_BIG, "Buffer Too Big");
  }
  request_.error_text.clear();
  const platform::DriveHandle drive = HeldDrive(slot, *path);
  if (drive == platform::kNoDrive) {
    return RequestStatus::SS_ERR;
  }

  const std::span<std::uint8_t> staged(staging_.data(), length);
  if (length != 0) {
    std::copy_n(request_.data, length, staged.begin());
  }
  std::array<std::uint8_t, kSenseBytesKept> sense{};
  const platform::ScsiCommand command{
      .cdb = std::span<const std::uint8_t>(cdb, cdb_length),
      .direction = TransferOf(direction),
      .data = staged,
      .sense = sense,
      .timeout_ms = kPassThroughTimeoutSeconds * 1000U,
  };
  const platform::ScsiCommandCompletion completion = driver_.Execute(drive, command);

  switch (completion.fault) {
    case platform::CommandFault::kNone:
      break;
    case platform::CommandFault::kNotCarried:
      // The device may be gone; the next attempt opens it afresh.
      ReleaseDrive();
      return Fail(RequestStatus::SS_ERR,
                  FormatText("Error opening . Error: %d\n", completion.system_error) +
                      SystemMessageLine(completion.system_error));
    case platform::CommandFault::kTimedOut:
      return Fail(RequestStatus::SS_PENDING,
                  CompletionCodeText(kPassThroughTexts, ToByte(RequestStatus::SS_PENDING)));
    case platform::CommandFault::kAborted:
      return Fail(RequestStatus::SS_ABORTED,
                  CompletionCodeText(kPassThroughTexts, ToByte(RequestStatus::SS_ABORTED)));
    case platform::CommandFault::kNoDevice:
      return Fail(RequestStatus::SS_NO_DEVICE,
                  CompletionCodeText(kPassThroughTexts, ToByte(RequestStatus::SS_NO_DEVICE)));
    case platform::CommandFault::kSelectionTimeout:
      request_.host_status = kHostSelectionTimeout;
      return Fail(RequestStatus::SS_ERR, HostStatusText(kPassThroughTexts, kHostSelectionTimeout));
  }

  // Data in: what the drive sent; bytes it did not send keep what the caller had there.
  const std::uint32_t moved = length - std::min(completion.residual, length);
  if (direction == DataDirection::kIn && moved != 0) {
    std::copy_n(staged.begin(), moved, request_.data);
  }
  request_.target_status = completion.target_status;
  std::copy_n(sense.begin(), std::min<std::size_t>(completion.sense_bytes, sense.size()),
              request_.sense.begin());
  request_.sense_length = static_cast<std::uint32_t>(request_.sense[7]) + 8U;
  if (completion.target_status != kScsiStatusGood) {
    ComposePassThroughErrorText(request_);
    return RequestStatus::SS_ERR;
  }
  // A page the drive did not take in full is not sent, whatever its status says.
  if (direction == DataDirection::kOut && moved != length) {
    request_.host_status = kHostDataOverrunUnderrun;
    return Fail(RequestStatus::SS_ERR, HostStatusText(kPassThroughTexts, kHostDataOverrunUnderrun));
  }
  return RequestStatus::SS_COMP;
}

std::uint8_t DeviceNodeTransport::Enumerate() {
  ReleaseDrive();
  entries_.clear();
  const std::vector<std::string> candidates = probe_only_ ? *probe_only_ : driver_.OpticalDrives();
  for (const std::string& candidate : candidates) {
    if (entries_.size() == kMaxDrives) {
      break;
    }
    probe_path_ = candidate;
    Select(kProbeSlot);
    enumeration_data_.fill(0);
    SetDataBuffer(enumeration_data_.data(), kIdentificationInquiryBytes);
    std::array<std::uint8_t, kMaxCdbLength> cdb = InquiryCdb(kIdentificationInquiryBytes).bytes;
    const bool listed = ExecuteCdb6(cdb.data(), kCommandTimeoutSeconds) == RequestStatus::SS_COMP &&
                        IsOpticalPeripheral(enumeration_data_[0]) &&
                        ProductIsTarget(enumeration_data_);
    ReleaseDrive();
    if (listed) {
      entries_.push_back(Entry{candidate, IdentityText(enumeration_data_)});
    }
  }
  return static_cast<std::uint8_t>(entries_.size());
}

}  // namespace fwu
