#include "drive/pass_through_transport.h"

#include <algorithm>
#include <span>

#include "drive/busy_guard.h"
#include "drive/error_text.h"
#include "drive/identity.h"
#include "drive/staging.h"
#include "resources/drive_messages.h"
#include "resources/format.h"
#include "resources/message_language.h"

namespace fwu {

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
  const std::uint32_t length = BeginDriveAttempt(cdb);
  const std::uint8_t slot = request_.address.slot;
  // An index past the drive list names no device at all; refuse rather than guess one.
  if (slot >= kSlots) {
    return Fail(RequestStatus::SS_NO_DEVICE, "No Device.");
  }
  if (busy_[slot]) {
    return Fail(RequestStatus::RS_TARGET_BUSY, "Inuse");
  }
  const BusyGuard busy(busy_[slot]);
  // The drive's transfer limit can exceed the staging area; neither may be overrun.
  if (transfer_limits_[slot] < length || length > kStagingAreaBytes ||
      (length != 0 && request_.data == nullptr)) {
    return Fail(RequestStatus::SS_BUFFER_TO_BIG, "Buffer Too Big");
  }

  request_.error_text.clear();
  const platform::DeviceHandle device = driver_.OpenDevice(DeviceName(slot).c_str());
  if (device == platform::kInvalidDevice) {
    return Fail(RequestStatus::SS_ERR, OpenFailureText(driver_.LastError()));
  }
  const std::span<std::uint8_t> data(request_.data, length);
  block_.Write(std::span<const std::uint8_t>(cdb, cdb_length), request_.direction, data);
  std::uint32_t returned = 0;
  const bool sent = driver_.SendIoControl(device, platform::kIoctlScsiPassThroughDirect,
                                          block_.Bytes(), PassThroughBlock::Size(), block_.Bytes(),
                                          PassThroughBlock::Size(), &returned);
  const std::uint32_t io_error = sent ? 0 : driver_.LastError();
  // The caller's data comes back whatever the direction and the outcome.
  block_.CopyStagedTo(data);
  driver_.CloseDevice(device);
  if (!sent) {
    return Fail(RequestStatus::SS_ERR,
                FormatText("Error opening . Error: %d\n", static_cast<int>(io_error)) +
                    SystemMessageLine(io_error));
  }

  const RequestStatus result = block_.ReadReply(request_);
  if (result != RequestStatus::SS_COMP) {
    ComposePassThroughErrorText(request_);
  }
  return result;
}

std::uint32_t PassThroughTransport::QueryTransferLimit(std::uint8_t slot) {
  request_.error_text.clear();
  const platform::DeviceHandle device = driver_.OpenDevice(DeviceName(slot).c_str());
  if (device == platform::kInvalidDevice) {
    request_.error_text = OpenFailureText(driver_.LastError());
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
