#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "drive/data_direction.h"

namespace fwu::emulator {

inline constexpr std::size_t kSenseDataLength = 24;  // fixed format; byte 19 exists

// What one command did, as the bus reports it back to the host.
struct CommandOutcome {
  bool completed = true;       // false: the device never answers (time-out paths)
  std::uint8_t status = 0x00;  // SCSI status byte
  std::array<std::uint8_t, kSenseDataLength> sense{};  // valid with CHECK CONDITION
  std::uint32_t transferred = 0;                       // data bytes actually moved
  std::uint32_t duration_ms = 0;                       // time the command takes on the device
};

// A device on the simulated bus: a CDB, a data direction and a data buffer in, an outcome out.
// Data in is written into the buffer; data out is read from it.
class ScsiDevice {
 public:
  virtual ~ScsiDevice() = default;
  virtual CommandOutcome Execute(std::span<const std::uint8_t> cdb, DataDirection direction,
                                 std::span<std::uint8_t> data) = 0;
};

}  // namespace fwu::emulator
