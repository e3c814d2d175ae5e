#pragma once

#include <array>
#include <cstdint>

#include "emulator/scsi_device.h"

namespace fwu::emulator {

// Sense key with its additional sense code and qualifier: what a CHECK CONDITION says.
struct SenseCode {
  std::uint8_t key = 0;
  std::uint8_t asc = 0;
  std::uint8_t ascq = 0;

  constexpr bool operator==(const SenseCode&) const = default;
};

namespace sense_key {
inline constexpr std::uint8_t kNoSense = 0x00;
inline constexpr std::uint8_t kNotReady = 0x02;
inline constexpr std::uint8_t kHardwareError = 0x04;
inline constexpr std::uint8_t kIllegalRequest = 0x05;
inline constexpr std::uint8_t kUnitAttention = 0x06;
}  // namespace sense_key

// Every sense the drive reports of its own accord; fault plans may report any other.
namespace sense {
inline constexpr SenseCode kMediumNotPresent{sense_key::kNotReady, 0x3A, 0x00};
inline constexpr SenseCode kRomUpdateFailure{sense_key::kHardwareError, 0x40, 0x88};
inline constexpr SenseCode kParameterListLengthError{sense_key::kIllegalRequest, 0x1A, 0x00};
inline constexpr SenseCode kInvalidOperationCode{sense_key::kIllegalRequest, 0x20, 0x00};
inline constexpr SenseCode kLogicalBlockOutOfRange{sense_key::kIllegalRequest, 0x21, 0x00};
inline constexpr SenseCode kInvalidFieldInCdb{sense_key::kIllegalRequest, 0x24, 0x00};
inline constexpr SenseCode kLunNotSupported{sense_key::kIllegalRequest, 0x25, 0x00};
inline constexpr SenseCode kInvalidFieldInParameterList{sense_key::kIllegalRequest, 0x26, 0x00};
inline constexpr SenseCode kCommandSequenceError{sense_key::kIllegalRequest, 0x2C, 0x00};
inline constexpr SenseCode kMediumRemovalPrevented{sense_key::kIllegalRequest, 0x53, 0x02};
inline constexpr SenseCode kMediumMayHaveChanged{sense_key::kUnitAttention, 0x28, 0x00};
inline constexpr SenseCode kPowerOnReset{sense_key::kUnitAttention, 0x29, 0x00};
}  // namespace sense

namespace scsi_status {
inline constexpr std::uint8_t kGood = 0x00;
inline constexpr std::uint8_t kCheckCondition = 0x02;
inline constexpr std::uint8_t kBusy = 0x08;
inline constexpr std::uint8_t kReservationConflict = 0x18;
inline constexpr std::uint8_t kQueueFull = 0x28;
}  // namespace scsi_status

// Fixed-format sense data as the drive returns it: response code 0x70, additional length 16,
// and byte 19 carrying the drive's own error code.
constexpr std::array<std::uint8_t, kSenseDataLength> FixedSense(SenseCode code,
                                                                std::uint8_t drive_error = 0) {
  std::array<std::uint8_t, kSenseDataLength> bytes{};
  bytes[0] = 0x70;
  bytes[2] = code.key & 0x0FU;
  bytes[7] = kSenseDataLength - 8;
  bytes[12] = code.asc;
  bytes[13] = code.ascq;
  bytes[19] = drive_error;
  return bytes;
}

constexpr SenseCode SenseCodeOf(const std::array<std::uint8_t, kSenseDataLength>& bytes) {
  return SenseCode{static_cast<std::uint8_t>(bytes[2] & 0x0FU), bytes[12], bytes[13]};
}

}  // namespace fwu::emulator
