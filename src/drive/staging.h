#pragma once

#include <cstdint>

#include "drive/command_set.h"
#include "drive/scsi_request.h"

namespace fwu {

// Every attempt that moves data copies it through a staging area of this size, data starting
// 16-byte aligned. The largest request the program issues is 32,776 bytes (one download page).
inline constexpr std::uint32_t kStagingAreaBytes = 33024;

// The data length a command actually carries: commands that move no data go out with none,
// whatever buffer was named for them.
inline std::uint32_t StagedLength(const ScsiRequest& request, std::uint8_t operation_code) {
  return DataDirectionOf(operation_code) == DataDirection::kNone ? 0 : request.data_length;
}

}  // namespace fwu
