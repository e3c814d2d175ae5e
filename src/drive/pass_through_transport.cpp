#include "drive/pass_through_transport.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "drive/error_text.h"
#include "drive/identity.h"
#include "resources/drive_messages.h"
#include "resources/format.h"
#include "resources/message_language.h"

namespace fwu {
namespace {

std::uint8_t DataInFor(DataDirection direction) {
  switch (direction) {
    case DataDirection::kOut:
      return kScsiIoctlDataOut;
    case DataDirection::kIn:
      return kScsiIoctlDataIn;
    case DataDirection::kNone:
      break;
  }
  return kScsiIoctlDataUnspecified;
}

}  // namespace

PassThroughTransport::PassThroughTransport(platform::PassThroughDriver& driver,
                                           const platform::Locale& locale)
    : Transport(kCommandTimeoutSeconds, /*names_commands=*/false),
      driver_(driver),
      locale_(locale) {}

std::string PassThroughTransport::GetEntry(std::uint8_t index) const {
  return index < kSlots ? entries_[index] : std::string();
}

void PassThroughTransport::Select(std::uint8_t index) {
  request_.address = DriveAddress{};
  request_.address.slot = index;
}

std::string PassThroughTransport::DeviceName(std::uint8_t slot) const {
  return "\\\\.\\" + entries_[slot].substr(0, 2);
}

std::string PassThroughTransport::SystemMessageLine(std::uint32_t error_code) {
  char text[80] = {};
  if (driver_.SystemMessageText(error_code, text, sizeof text) == 0) {
    return FormatText("Format message failed.  Error: %d\n", static_cast<int>(driver_.LastError()));
  }
  return FormatText("%s\n", text);
}

std::string PassThroughTransport::OpenFailureText(std::uint32_t error_code) {
  const std::string format(texts::kGetHandleError.In(CurrentMessageLanguage(locale_)));
  return FormatText(format.c_str(), static_cast<int>(error_code)) + SystemMessageLine(error_code);
}

RequestStatus PassThroughTransport::ExecuteOnce(const std::uint8_t* cdb, std::uint8_t cdb_length,
                                                std::uint32_t /*timeout_seconds*/) {
  request_.host_status = 0;
  request_.target_status = 0;
  request_.sense.fill(0);
  request_.sense_length = 0;
  const std::uint8_t slot = request_.address.slot;
  const DataDirection direction = DataDirectionOf(cdb[0]);
  const std::uint32_t length = StagedLength(request_, cdb[0]);
  request_.direction = direction;

  // An index past the drive list names no device at all; refuse rather than guess one.
  if (slot >= kSlots) {
    request_.error_text = "No Device.";
    return RequestStatus::SS_NO_DEVICE;
  }
  if (busy_[slot] != 0) {
    request_.error_text = "Inuse";
    return RequestStatus::RS_TARGET_BUSY;
  }
  busy_[slot] = 1;
  // The drive's transfer limit can exceed the staging area; neither may be overrun.
  if (transfer_limits_[slot] < length || length > kStagingAreaBytes) {
    request_.error_text = "Buffer Too Big";
    busy_[slot] = 0;
    return RequestStatus::SS_BUFFER_TO_BIG;
  }
  if (length != 0 && request_.data == nullptr) {
    request_.error_text = "Buffer Too Big";
    busy_[slot] = 0;
    return RequestStatus::SS_BUFFER_TO_BIG;
  }

  request_.error_text.clear();
  const platform::DeviceHandle device = driver_.OpenDevice(DeviceName(slot).c_str());
  if (device == platform::kInvalidDevice) {
    request_.error_text = OpenFailureText(driver_.LastError());
    busy_[slot] = 0;
    return RequestStatus::SS_ERR;
  }

  block_.fill(0);
  std::uint8_t* const staging = block_.data() + kPassThroughStagingOffset;
  ScsiPassThroughDirect record{};
  record.length = sizeof(ScsiPassThroughDirect);
  record.path_id = 0;
  record.target_id = 1;
  record.lun = 0;
  record.cdb_length = cdb_length;
  record.sense_info_length = kPassThroughSenseBytes;
  record.data_in = DataInFor(direction);
  record.data_transfer_length = length;
  record.time_out_value = kPassThroughTimeoutSeconds;
  record.data_buffer = staging;
  record.sense_info_offset = static_cast<std::uint32_t>(kPassThroughSenseOffset);
  std::copy_n(cdb, std::min<std::size_t>(cdb_length, sizeof record.cdb), record.cdb);
  std::memcpy(block_.data(), &record, sizeof record);
  if (length != 0) {
    std::memcpy(staging, request_.data, length);
  }

  std::uint32_t returned = 0;
  const bool sent =
      driver_.SendIoControl(device, platform::kIoctlScsiPassThroughDirect, block_.data(),
                            static_cast<std::uint32_t>(block_.size()), block_.data(),
                            static_cast<std::uint32_t>(block_.size()), &returned);
  const std::uint32_t io_error = sent ? 0 : driver_.LastError();
  // The caller's data comes back whatever the direction and the outcome.
  if (length != 0) {
    std::memcpy(request_.data, staging, length);
  }
  driver_.CloseDevice(device);

  if (!sent) {
    request_.error_text = FormatText("Error opening . Error: %d\n", static_cast<int>(io_error)) +
                          SystemMessageLine(io_error);
    busy_[slot] = 0;
    return RequestStatus::SS_ERR;
  }

  std::memcpy(&record, block_.data(), sizeof record);
  request_.target_status = record.scsi_status;
  request_.host_status = 0;
  const std::uint8_t* sense = block_.data() + kPassThroughSenseOffset;
  request_.sense_length = static_cast<std::uint32_t>(sense[7]) + 8U;
  std::copy_n(sense, kPassThroughSenseBytes, request_.sense.begin());
  const RequestStatus result =
      record.scsi_status == kScsiStatusGood ? RequestStatus::SS_COMP : RequestStatus::SS_ERR;
  if (result != RequestStatus::SS_COMP) {
    ComposePassThroughErrorText(request_);
  }
  busy_[slot] = 0;
  return result;
}

std::uint32_t PassThroughTransport::QueryTransferLimit(std::uint8_t slot) {
  request_.error_text.clear();
  const platform::DeviceHandle device = driver_.OpenDevice(DeviceName(slot).c_str());
  if (device == platform::kInvalidDevice) {
    request_.error_text = OpenFailureText(driver_.LastError());
    busy_[slot] = 0;
    return 0;
  }
  IoScsiCapabilities capabilities{};
  std::uint32_t returned = 0;
  const bool answered = driver_.SendIoControl(device, platform::kIoctlScsiGetCapabilities, nullptr,
                                              0, &capabilities, sizeof capabilities, &returned);
  driver_.CloseDevice(device);
  if (!answered) {
    return kTransferLimitWithoutCapabilities;
  }
  return std::min(capabilities.maximum_transfer_length, kTransferLimitCap);
}

std::uint8_t PassThroughTransport::Enumerate() {
  Select(kScratchSlot);
  busy_[kScratchSlot] = 0;
  transfer_limits_[kScratchSlot] = kEnumerationTransferLimit;
  count_ = 0;
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    enumeration_data_.fill(0);
    entries_[kScratchSlot] = FormatText("%c:", letter);
    if (driver_.DriveTypeOf(entries_[kScratchSlot].c_str()) != platform::kDriveCdrom) {
      continue;
    }
    SetDataBuffer(enumeration_data_.data(), kIdentificationInquiryBytes);
    std::array<std::uint8_t, kMaxCdbLength> cdb = InquiryCdb(kIdentificationInquiryBytes).bytes;
    if (ExecuteCdb6(cdb.data(), kCommandTimeoutSeconds) != RequestStatus::SS_COMP ||
        !IsOpticalPeripheral(enumeration_data_[0]) || !ProductIsTarget(enumeration_data_)) {
      continue;
    }
    entries_[count_] = FormatText("%c:   %16.28s", letter, IdentityText(enumeration_data_).c_str());
    transfer_limits_[count_] = QueryTransferLimit(count_);
    ++count_;
  }
  return count_;
}

}  // namespace fwu
