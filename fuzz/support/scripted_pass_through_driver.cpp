#include "support/scripted_pass_through_driver.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <span>
#include <string_view>

#include "drive/command_set.h"
#include "drive/pass_through_record.h"
#include "platform/sim/request_record_rules.h"

namespace fwu::fuzz {
namespace {

constexpr std::uint32_t kDriveNoRootDir = 1;

struct MessageText {
  std::uint32_t code;
  std::string_view text;
};

// What a recording says for the error codes of the scenarios.
constexpr std::array<MessageText, 4> kMessages = {{
    {platform::kErrorFileNotFound, "The system cannot find the file specified.\r\n"},
    {platform::kErrorAccessDenied, "Access is denied.\r\n"},
    {platform::kErrorNotReady, "The device is not ready.\r\n"},
    {platform::kErrorSemTimeout, "The semaphore timeout period has expired.\r\n"},
}};

std::string_view PlannedMessage(std::uint32_t code) {
  const auto* found = std::find_if(kMessages.begin(), kMessages.end(),
                                   [code](const MessageText& row) { return row.code == code; });
  return found == kMessages.end() ? std::string_view{} : found->text;
}

bool IsLetter(char c) {
  return c >= 'A' && c <= 'Z';
}

// The data direction a pass-through record must carry for its operation code.
std::uint8_t ExpectedDataIn(std::uint8_t operation_code) {
  switch (DataDirectionOf(operation_code)) {
    case DataDirection::kIn:
      return kScsiIoctlDataIn;
    case DataDirection::kOut:
      return kScsiIoctlDataOut;
    case DataDirection::kNone:
      break;
  }
  return kScsiIoctlDataUnspecified;
}

bool Inside(const void* start, std::size_t length, const void* block, std::size_t block_size) {
  const auto* first = static_cast<const std::uint8_t*>(start);
  const auto* base = static_cast<const std::uint8_t*>(block);
  return first >= base && first <= base + block_size &&
         length <= static_cast<std::size_t>(base + block_size - first);
}

}  // namespace

ScriptedPassThroughDriver::ScriptedPassThroughDriver(Tape& tape,
                                                     const PassThroughScenario* scenario)
    : tape_(tape), scenario_(scenario), scripted_device_(tape) {
  if (scenario_ != nullptr) {
    for (const auto& [letter, planned] : *scenario_) {
      scenario_devices_[letter] = std::make_unique<ScriptedDevice>(tape, planned.device);
    }
  }
}

ScriptedPassThroughDriver::~ScriptedPassThroughDriver() {
  Require(open_.empty(), "a device handle of the pass-through transport was never closed");
}

const ScenarioLetter* ScriptedPassThroughDriver::Planned(char letter) const {
  if (scenario_ == nullptr) {
    return nullptr;
  }
  const auto found = scenario_->find(letter);
  return found == scenario_->end() ? nullptr : &found->second;
}

emulator::ScsiDevice& ScriptedPassThroughDriver::DeviceOf(char letter) {
  const auto found = scenario_devices_.find(letter);
  return found == scenario_devices_.end() ? scripted_device_ : *found->second;
}

std::uint32_t ScriptedPassThroughDriver::DriveTypeOf(const char* root) {
  Require(root != nullptr && std::strlen(root) == 2 && IsLetter(root[0]) && root[1] == ':',
          "a drive type was asked of something that is no drive root");
  const ScenarioLetter* planned = Planned(root[0]);
  return tape_.Byte(
      static_cast<std::uint8_t>(planned != nullptr ? planned->drive_type : kDriveNoRootDir));
}

platform::DeviceHandle ScriptedPassThroughDriver::OpenDevice(const char* device_name) {
  const std::string_view name = device_name != nullptr ? device_name : "";
  Require(name.size() == 6 && name.starts_with("\\\\.\\") && IsLetter(name[4]) && name[5] == ':',
          "a device that is no drive letter was opened");
  const char letter = name[4];
  const ScenarioLetter* planned = Planned(letter);
  const std::uint32_t planned_error =
      planned == nullptr ? platform::kErrorFileNotFound : planned->open_error;
  if (tape_.Flag(planned_error != 0)) {
    last_error_ = tape_.U32(planned_error);
    return platform::kInvalidDevice;
  }
  const platform::DeviceHandle handle = next_handle_++;
  open_[handle] = letter;
  return handle;
}

void ScriptedPassThroughDriver::CloseDevice(platform::DeviceHandle device) {
  Require(open_.erase(device) == 1, "a device handle was closed that was not open");
}

bool ScriptedPassThroughDriver::SendIoControl(platform::DeviceHandle device,
                                              std::uint32_t control_code, void* input,
                                              std::uint32_t input_size, void* output,
                                              std::uint32_t output_size,
                                              std::uint32_t* bytes_returned) {
  const auto open = open_.find(device);
  Require(open != open_.end(), "an I/O control request went to a handle that is not open");
  Require(bytes_returned != nullptr, "an I/O control request without a returned-bytes count");
  *bytes_returned = 0;
  if (control_code == platform::kIoctlScsiPassThroughDirect) {
    Require(input != nullptr && input == output && input_size == output_size,
            "a pass-through request whose block is not both input and output");
    return PassThrough(open->second, input, input_size);
  }
  Require(control_code == platform::kIoctlScsiGetCapabilities,
          "an I/O control request the transport has no business sending");
  return Capabilities(open->second, output, output_size);
}

bool ScriptedPassThroughDriver::PassThrough(char letter, void* block, std::uint32_t block_size) {
  Require(block_size >= sizeof(ScsiPassThroughDirect), "a pass-through block too small");
  ScsiPassThroughDirect record{};
  std::memcpy(&record, block, sizeof record);
  if (const std::optional<std::string_view> refused =
          sim::RefusedPassThroughRequest(record, block_size)) {
    Violation(*refused);
  }
  Require(record.cdb_length == 6 || record.cdb_length == 10 || record.cdb_length == 12,
          "a CDB length other than 6, 10 or 12");
  Require(record.sense_info_length == kPassThroughSenseBytes,
          "a sense buffer of another size than the transport's");
  Require(record.data_in == ExpectedDataIn(record.cdb[0]),
          "a data direction that is not the operation code's");
  Require(record.data_transfer_length == 0 ||
              Inside(record.data_buffer, record.data_transfer_length, block, block_size),
          "pass-through data outside the block handed over");
  Require(record.data_in != kScsiIoctlDataUnspecified || record.data_transfer_length == 0,
          "data with a command that moves none");

  const ScenarioLetter* planned = Planned(letter);
  const std::uint32_t planned_error = planned != nullptr ? planned->pass_through_error : 0;
  if (tape_.Flag(planned_error != 0)) {
    last_error_ = tape_.U32(planned_error);
    return false;
  }
  const DataDirection direction = DataDirectionOf(record.cdb[0]);
  const std::span<std::uint8_t> data(static_cast<std::uint8_t*>(record.data_buffer),
                                     record.data_transfer_length);
  const emulator::CommandOutcome outcome =
      DeviceOf(letter).Execute(std::span(record.cdb).first(record.cdb_length), direction, data);
  record.scsi_status = outcome.status;
  std::memcpy(block, &record, sizeof record);
  std::memcpy(static_cast<std::uint8_t*>(block) + record.sense_info_offset, outcome.sense.data(),
              std::min<std::size_t>(record.sense_info_length, outcome.sense.size()));
  return true;
}

bool ScriptedPassThroughDriver::Capabilities(char letter, void* output, std::uint32_t output_size) {
  Require(output != nullptr && output_size >= sizeof(IoScsiCapabilities),
          "a capability query without room for the answer");
  const ScenarioLetter* planned = Planned(letter);
  const bool planned_failure = planned == nullptr || !planned->max_transfer_length;
  if (tape_.Flag(planned_failure)) {
    last_error_ = tape_.U32(platform::kErrorInvalidFunction);
    return false;
  }
  IoScsiCapabilities capabilities{};
  capabilities.length = sizeof capabilities;
  capabilities.maximum_transfer_length =
      tape_.U32(planned_failure ? 0 : *planned->max_transfer_length);
  std::memcpy(output, &capabilities, sizeof capabilities);
  return true;
}

std::uint32_t ScriptedPassThroughDriver::SystemMessageText(std::uint32_t error_code, char* buffer,
                                                           std::uint32_t size) {
  Require(buffer != nullptr && size > 0, "a message text asked for without a buffer");
  const std::string_view planned = PlannedMessage(error_code);
  const std::string text = tape_.Text(size - 1, planned);
  if (text.empty()) {
    last_error_ = tape_.U32(platform::kErrorMrMidNotFound);
    return 0;
  }
  std::memcpy(buffer, text.data(), text.size());
  buffer[text.size()] = '\0';
  return static_cast<std::uint32_t>(text.size());
}

}  // namespace fwu::fuzz
