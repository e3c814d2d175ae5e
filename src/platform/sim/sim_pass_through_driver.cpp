#include "platform/sim/sim_pass_through_driver.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <span>

#include "drive/pass_through_record.h"
#include "drive/scsi_request.h"
#include "platform/sim/request_record_rules.h"

namespace fwu::sim {
namespace {

char Upper(char letter) {
  return static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
}

// The system's texts for the codes a storage stack produces, as Windows words them.
const std::map<std::uint32_t, std::string>& DefaultMessages() {
  static const std::map<std::uint32_t, std::string> messages{
      {1, "Incorrect function.\r\n"},
      {2, "The system cannot find the file specified.\r\n"},
      {5, "Access is denied.\r\n"},
      {6, "The handle is invalid.\r\n"},
      {21, "The device is not ready.\r\n"},
      {87, "The parameter is incorrect.\r\n"},
      {121, "The semaphore timeout period has expired.\r\n"},
      {1117, "The request could not be performed because of an I/O device error.\r\n"},
  };
  return messages;
}

}  // namespace

SimPassThroughDriver::SimPassThroughDriver(platform::Clock& clock)
    : clock_(clock), messages_(DefaultMessages()) {}

void SimPassThroughDriver::AttachDrive(char letter, emulator::ScsiDevice& device,
                                       std::uint32_t max_transfer_length) {
  const std::lock_guard lock(mutex_);
  Letter& entry = letters_[Upper(letter)];
  entry.drive_type = platform::kDriveCdrom;
  entry.device = &device;
  entry.max_transfer_length = max_transfer_length;
}

void SimPassThroughDriver::SetDriveType(char letter, std::uint32_t drive_type) {
  const std::lock_guard lock(mutex_);
  letters_[Upper(letter)].drive_type = drive_type;
}

void SimPassThroughDriver::FailOpen(char letter, std::uint32_t error_code) {
  const std::lock_guard lock(mutex_);
  letters_[Upper(letter)].open_error = error_code;
}

void SimPassThroughDriver::FailPassThrough(char letter, std::uint32_t error_code) {
  const std::lock_guard lock(mutex_);
  letters_[Upper(letter)].pass_through_error = error_code;
}

void SimPassThroughDriver::FailCapabilities(char letter) {
  const std::lock_guard lock(mutex_);
  letters_[Upper(letter)].max_transfer_length.reset();
}

void SimPassThroughDriver::SetSystemMessage(std::uint32_t error_code, std::string text) {
  const std::lock_guard lock(mutex_);
  messages_[error_code] = std::move(text);
}

std::uint32_t SimPassThroughDriver::OpenCount(char letter) const {
  const std::lock_guard lock(mutex_);
  const auto found = letters_.find(Upper(letter));
  return found == letters_.end() ? 0 : found->second.opens;
}

std::uint32_t SimPassThroughDriver::OpenHandles() const {
  const std::lock_guard lock(mutex_);
  return static_cast<std::uint32_t>(open_.size());
}

std::optional<char> SimPassThroughDriver::LetterOfRoot(const char* root) {
  if (root == nullptr || std::strlen(root) < 2 || root[1] != ':' ||
      std::isalpha(static_cast<unsigned char>(root[0])) == 0) {
    return std::nullopt;
  }
  const std::size_t length = std::strlen(root);
  if (length > 3 || (length == 3 && root[2] != '\\')) {
    return std::nullopt;
  }
  return Upper(root[0]);
}

std::optional<char> SimPassThroughDriver::LetterOfDevice(const char* device_name) {
  if (device_name == nullptr || std::strlen(device_name) != 6 ||
      std::strncmp(device_name, "\\\\.\\", 4) != 0) {
    return std::nullopt;
  }
  return LetterOfRoot(device_name + 4);
}

bool SimPassThroughDriver::Fail(std::uint32_t error_code) {
  last_error_[std::this_thread::get_id()] = error_code;
  return false;
}

std::uint32_t SimPassThroughDriver::DriveTypeOf(const char* root) {
  const std::lock_guard lock(mutex_);
  const std::optional<char> letter = LetterOfRoot(root);
  if (!letter) {
    return kDriveNoRootDir;
  }
  const auto found = letters_.find(*letter);
  return found == letters_.end() ? kDriveNoRootDir : found->second.drive_type;
}

platform::DeviceHandle SimPassThroughDriver::OpenDevice(const char* device_name) {
  const std::lock_guard lock(mutex_);
  const std::optional<char> letter = LetterOfDevice(device_name);
  const auto found = letter ? letters_.find(*letter) : letters_.end();
  if (found == letters_.end() || found->second.drive_type == kDriveNoRootDir) {
    Fail(platform::kErrorFileNotFound);
    return platform::kInvalidDevice;
  }
  if (found->second.open_error != 0) {
    Fail(found->second.open_error);
    return platform::kInvalidDevice;
  }
  ++found->second.opens;
  const platform::DeviceHandle handle = next_handle_;
  next_handle_ += 4;
  open_[handle] = *letter;
  return handle;
}

void SimPassThroughDriver::CloseDevice(platform::DeviceHandle device) {
  const std::lock_guard lock(mutex_);
  open_.erase(device);
}

std::uint32_t SimPassThroughDriver::LastError() {
  const std::lock_guard lock(mutex_);
  const auto found = last_error_.find(std::this_thread::get_id());
  return found == last_error_.end() ? 0 : found->second;
}

std::uint32_t SimPassThroughDriver::SystemMessageText(std::uint32_t error_code, char* buffer,
                                                      std::uint32_t size) {
  const std::lock_guard lock(mutex_);
  const auto found = messages_.find(error_code);
  if (found == messages_.end()) {
    Fail(platform::kErrorMrMidNotFound);
    return 0;
  }
  if (buffer == nullptr || found->second.size() + 1 > size) {
    Fail(kErrorInsufficientBuffer);
    return 0;
  }
  std::memcpy(buffer, found->second.c_str(), found->second.size() + 1);
  return static_cast<std::uint32_t>(found->second.size());
}

bool SimPassThroughDriver::SendIoControl(platform::DeviceHandle device, std::uint32_t control_code,
                                         void* input, std::uint32_t input_size, void* output,
                                         std::uint32_t output_size, std::uint32_t* bytes_returned) {
  std::unique_lock lock(mutex_);
  const auto handle = open_.find(device);
  if (handle == open_.end()) {
    return Fail(kErrorInvalidHandle);
  }
  Letter& letter = letters_[handle->second];
  if (control_code == platform::kIoctlScsiGetCapabilities) {
    if (!letter.max_transfer_length || output == nullptr ||
        output_size < sizeof(IoScsiCapabilities)) {
      return Fail(platform::kErrorInvalidFunction);
    }
    IoScsiCapabilities capabilities{};
    capabilities.length = sizeof capabilities;
    capabilities.maximum_transfer_length = *letter.max_transfer_length;
    capabilities.maximum_physical_pages = *letter.max_transfer_length / 4096U + 1U;
    capabilities.alignment_mask = 1;
    std::memcpy(output, &capabilities, sizeof capabilities);
    if (bytes_returned != nullptr) {
      *bytes_returned = sizeof capabilities;
    }
    return true;
  }
  if (control_code != platform::kIoctlScsiPassThroughDirect) {
    return Fail(platform::kErrorInvalidFunction);
  }
  if (input == nullptr || input != output || input_size != output_size ||
      input_size < sizeof(ScsiPassThroughDirect)) {
    return Fail(kErrorInvalidParameter);
  }
  if (letter.pass_through_error != 0) {
    return Fail(letter.pass_through_error);
  }
  emulator::ScsiDevice* const scsi_device = letter.device;
  if (scsi_device == nullptr) {
    return Fail(platform::kErrorNotReady);
  }
  lock.unlock();
  auto* block = static_cast<std::uint8_t*>(input);
  ScsiPassThroughDirect record{};
  std::memcpy(&record, block, sizeof record);
  if (RefusedPassThroughRequest(record, input_size)) {
    const std::lock_guard relock(mutex_);
    return Fail(kErrorInvalidParameter);
  }
  const DataDirection direction = record.data_in == kScsiIoctlDataOut  ? DataDirection::kOut
                                  : record.data_in == kScsiIoctlDataIn ? DataDirection::kIn
                                                                       : DataDirection::kNone;
  const std::span<std::uint8_t> data(
      static_cast<std::uint8_t*>(record.data_buffer),
      direction == DataDirection::kNone ? 0 : record.data_transfer_length);
  const emulator::CommandOutcome outcome = scsi_device->Execute(
      std::span<const std::uint8_t>(record.cdb, record.cdb_length), direction, data);
  if (!outcome.completed) {
    // The driver gives up after the record's time-out and reports it as a failed request.
    clock_.Sleep(record.time_out_value * 1000U);
    const std::lock_guard relock(mutex_);
    return Fail(platform::kErrorSemTimeout);
  }
  clock_.Sleep(outcome.duration_ms);
  record.scsi_status = outcome.status;
  record.data_transfer_length = outcome.transferred;
  if (outcome.status == kScsiStatusCheckCondition) {
    const std::size_t sense_bytes =
        std::min<std::size_t>(record.sense_info_length, outcome.sense.size());
    std::memcpy(block + record.sense_info_offset, outcome.sense.data(), sense_bytes);
    record.sense_info_length = static_cast<std::uint8_t>(sense_bytes);
  } else {
    record.sense_info_length = 0;
  }
  std::memcpy(block, &record, sizeof record);
  // The record itself; the data and the sense are where it points.
  if (bytes_returned != nullptr) {
    *bytes_returned = sizeof record;
  }
  return true;
}

}  // namespace fwu::sim
