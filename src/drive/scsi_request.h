#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "drive/data_direction.h"
#include "drive/request_status.h"

namespace fwu {

// Where commands go. ASPI names a host adapter and a target; pass-through names a slot of its
// drive list. Both always address LUN 0.
struct DriveAddress {
  std::uint8_t host_adapter = 0;  // ASPI: 0..6
  std::uint8_t target = 0;        // ASPI: 0..6
  std::uint8_t slot = 0;          // pass-through: drive-list slot (27 is enumeration's scratch)
  std::uint8_t lun = 0;
};

// Sense bytes a transport keeps of the last command. The ASPI library is asked for 14 bytes and
// the pass-through driver for 24; whatever a transport did not receive stays zero, so the third
// field of a check-condition text (sense byte 19) is real on pass-through and 0 on ASPI.
inline constexpr std::size_t kSenseBytesKept = 24;

// The codes a pass-through check condition leaves behind for later inspection.
struct CheckConditionCodes {
  std::uint8_t asc = 0;
  std::uint8_t ascq = 0;
  std::uint8_t byte19 = 0;
  std::uint8_t sense_key = 0;
};

// The state of the current or last command of one transport. The outcome is kept in layers:
// completion code, host adapter and target status, sense bytes, then the composed text.
struct ScsiRequest {
  DriveAddress address;
  std::uint8_t* data = nullptr;  // owned by the caller, stays in force until set again
  std::uint32_t data_length = 0;
  DataDirection direction = DataDirection::kNone;  // data phase of the last command
  std::string command_name;                        // set by the ASPI transport only
  RequestStatus completion = RequestStatus::SS_COMP;
  std::uint8_t host_status = 0;
  std::uint8_t target_status = 0;
  std::array<std::uint8_t, kSenseBytesKept> sense{};
  std::uint32_t sense_length = 0;  // sense byte 7 + 8
  std::string error_text;
  CheckConditionCodes last_check_condition;  // pass-through only

  std::uint8_t SenseKey() const { return sense[2] & 0x0F; }
  std::uint8_t Asc() const { return sense[12]; }
  std::uint8_t Ascq() const { return sense[13]; }
  std::uint8_t SenseByte19() const { return sense[19]; }
};

inline constexpr std::uint8_t kScsiStatusGood = 0x00;
inline constexpr std::uint8_t kScsiStatusCheckCondition = 0x02;
inline constexpr std::uint8_t kSenseKeyUnitAttention = 0x06;

}  // namespace fwu
