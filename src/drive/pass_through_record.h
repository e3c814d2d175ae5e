#pragma once

#include <cstddef>
#include <cstdint>

#include "drive/staging.h"

namespace fwu {

// The storage driver's pass-through record (SCSI_PASS_THROUGH_DIRECT) with the layout Windows
// gives it. The driver reads it, so its layout is observable: 44 bytes on 32-bit Windows, 56 on
// 64-bit, where the data pointer is 8-byte aligned.
struct ScsiPassThroughDirect {
  std::uint16_t length;
  std::uint8_t scsi_status;
  std::uint8_t path_id;
  std::uint8_t target_id;
  std::uint8_t lun;
  std::uint8_t cdb_length;
  std::uint8_t sense_info_length;
  std::uint8_t data_in;
  std::uint32_t data_transfer_length;
  std::uint32_t time_out_value;
  void* data_buffer;
  std::uint32_t sense_info_offset;
  std::uint8_t cdb[16];
};

inline constexpr std::uint8_t kScsiIoctlDataOut = 0;
inline constexpr std::uint8_t kScsiIoctlDataIn = 1;
inline constexpr std::uint8_t kScsiIoctlDataUnspecified = 2;

static_assert(offsetof(ScsiPassThroughDirect, scsi_status) == 2);
static_assert(offsetof(ScsiPassThroughDirect, cdb_length) == 6);
static_assert(offsetof(ScsiPassThroughDirect, data_in) == 8);
static_assert(offsetof(ScsiPassThroughDirect, data_transfer_length) == 12);
static_assert(offsetof(ScsiPassThroughDirect, time_out_value) == 16);
#if UINTPTR_MAX == 0xFFFFFFFFU
static_assert(offsetof(ScsiPassThroughDirect, data_buffer) == 20);
static_assert(offsetof(ScsiPassThroughDirect, sense_info_offset) == 24);
static_assert(offsetof(ScsiPassThroughDirect, cdb) == 28);
static_assert(sizeof(ScsiPassThroughDirect) == 44);
#else
static_assert(offsetof(ScsiPassThroughDirect, data_buffer) == 24);
static_assert(offsetof(ScsiPassThroughDirect, sense_info_offset) == 32);
static_assert(offsetof(ScsiPassThroughDirect, cdb) == 36);
static_assert(sizeof(ScsiPassThroughDirect) == 56);
#endif

constexpr std::size_t AlignUp16(std::size_t offset) {
  return (offset + 15U) & ~std::size_t{15U};
}

// The request block handed to the driver as input and output: the record, the sense buffer
// after it and the staging area after that, each starting 16-byte aligned. On 32-bit Windows
// that puts the sense at 48 and the staging area at 80, 33,104 bytes in all.
inline constexpr std::uint32_t kPassThroughSenseBytes = 24;
inline constexpr std::uint32_t kPassThroughTimeoutSeconds = 200;
inline constexpr std::size_t kPassThroughSenseOffset = AlignUp16(sizeof(ScsiPassThroughDirect));
inline constexpr std::size_t kPassThroughStagingOffset =
    AlignUp16(kPassThroughSenseOffset + kPassThroughSenseBytes);
inline constexpr std::size_t kPassThroughBlockBytes = kPassThroughStagingOffset + kStagingAreaBytes;

#if UINTPTR_MAX == 0xFFFFFFFFU
static_assert(kPassThroughSenseOffset == 48 && kPassThroughStagingOffset == 80 &&
              kPassThroughBlockBytes == 33104);
#else
static_assert(kPassThroughSenseOffset == 64 && kPassThroughStagingOffset == 96 &&
              kPassThroughBlockBytes == 33120);
#endif

// What IOCTL_SCSI_GET_CAPABILITIES returns (IO_SCSI_CAPABILITIES), 24 bytes.
struct IoScsiCapabilities {
  std::uint32_t length;
  std::uint32_t maximum_transfer_length;
  std::uint32_t maximum_physical_pages;
  std::uint32_t supported_asynchronous_events;
  std::uint32_t alignment_mask;
  std::uint8_t tagged_queuing;
  std::uint8_t adapter_scans_down;
  std::uint8_t adapter_uses_pio;
};
static_assert(sizeof(IoScsiCapabilities) == 24);
static_assert(offsetof(IoScsiCapabilities, maximum_transfer_length) == 4);

}  // namespace fwu
