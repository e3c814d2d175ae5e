#pragma once

#include <cstddef>
#include <cstdint>

namespace fwu {

// The request records of the ASPI for Win32 interface, member for member as the library reads
// and writes them. Every record starts with the same header (command, status, adapter, flags);
// the status byte leaves 0 (pending) when the library is done with the record.
//
// The published interface packs its records to 1 byte. On 32-bit Windows, the one the library
// exists for, pointers are 4 bytes and the records have their published sizes (80, 60, 64, 12).
// On x86_64 the same packed declarations give each pointer member 8 bytes at the same offset,
// unaligned, and every member behind a pointer moves up by 4 bytes per pointer before it:
// SRB_ExecSCSICmd grows to 88, SRB_BusDeviceReset to 68 and SRB_Abort to 16, while
// SRB_HAInquiry, which holds no pointer, stays 60. Our 64-bit build only ever talks to our own
// test library, which is compiled from this header, so both sides agree by construction.

namespace aspi {
inline constexpr std::uint8_t kScHaInquiry = 0x00;
inline constexpr std::uint8_t kScExecScsiCmd = 0x02;
inline constexpr std::uint8_t kScAbortSrb = 0x03;
inline constexpr std::uint8_t kScResetDev = 0x04;

inline constexpr std::uint8_t kSrbDirIn = 0x08;
inline constexpr std::uint8_t kSrbDirOut = 0x10;
inline constexpr std::uint8_t kSrbEventNotify = 0x40;

// Sense bytes the transport asks for; the record's sense area holds two more.
inline constexpr std::uint8_t kSenseLength = 14;
inline constexpr std::size_t kSenseAreaBytes = kSenseLength + 2;
inline constexpr std::size_t kCdbBytes = 16;

// GetASPI32SupportInfo: completion code in bits 8-15, host adapter count in bits 0-7.
constexpr std::uint8_t SupportInfoCompletion(std::uint32_t info) {
  return (info >> 8U) & 0xFFU;
}
constexpr std::uint8_t SupportInfoAdapterCount(std::uint32_t info) {
  return info & 0xFFU;
}

// Where the status byte sits in every record.
inline constexpr std::size_t kStatusOffset = 1;
}  // namespace aspi

#pragma pack(push, 1)

// SRB_HAInquiry (SC_HA_INQUIRY).
struct SrbHaInquiry {
  std::uint8_t srb_cmd;
  std::uint8_t srb_status;
  std::uint8_t srb_ha_id;
  std::uint8_t srb_flags;
  std::uint32_t srb_hdr_rsvd;
  std::uint8_t ha_count;
  std::uint8_t ha_scsi_id;  // the adapter's own target id
  std::uint8_t ha_manager_id[16];
  std::uint8_t ha_identifier[16];
  std::uint8_t ha_unique[16];
  std::uint16_t ha_rsvd1;
};

// SRB_ExecSCSICmd (SC_EXEC_SCSI_CMD).
struct SrbExecScsiCmd {
  std::uint8_t srb_cmd;
  std::uint8_t srb_status;
  std::uint8_t srb_ha_id;
  std::uint8_t srb_flags;
  std::uint32_t srb_hdr_rsvd;
  std::uint8_t srb_target;
  std::uint8_t srb_lun;
  std::uint16_t srb_rsvd1;
  std::uint32_t srb_buf_len;
  std::uint8_t* srb_buf_pointer;
  std::uint8_t srb_sense_len;
  std::uint8_t srb_cdb_len;
  std::uint8_t srb_ha_stat;
  std::uint8_t srb_targ_stat;
  void* srb_post_proc;  // the completion event with SRB_EVENT_NOTIFY
  std::uint8_t srb_rsvd2[20];
  std::uint8_t cdb_byte[aspi::kCdbBytes];
  std::uint8_t sense_area[aspi::kSenseAreaBytes];
};

// SRB_Abort (SC_ABORT_SRB).
struct SrbAbort {
  std::uint8_t srb_cmd;
  std::uint8_t srb_status;
  std::uint8_t srb_ha_id;
  std::uint8_t srb_flags;
  std::uint32_t srb_hdr_rsvd;
  void* srb_to_abort;
};

// SRB_BusDeviceReset (SC_RESET_DEV).
struct SrbBusDeviceReset {
  std::uint8_t srb_cmd;
  std::uint8_t srb_status;
  std::uint8_t srb_ha_id;
  std::uint8_t srb_flags;
  std::uint32_t srb_hdr_rsvd;
  std::uint8_t srb_target;
  std::uint8_t srb_lun;
  std::uint8_t srb_rsvd1[12];
  std::uint8_t srb_ha_stat;
  std::uint8_t srb_targ_stat;
  void* srb_post_proc;
  std::uint8_t srb_rsvd2[36];
};

#pragma pack(pop)

// The common header.
static_assert(offsetof(SrbExecScsiCmd, srb_status) == aspi::kStatusOffset);
static_assert(offsetof(SrbHaInquiry, srb_status) == aspi::kStatusOffset);
static_assert(offsetof(SrbAbort, srb_status) == aspi::kStatusOffset);
static_assert(offsetof(SrbBusDeviceReset, srb_status) == aspi::kStatusOffset);
static_assert(offsetof(SrbExecScsiCmd, srb_ha_id) == 2 && offsetof(SrbExecScsiCmd, srb_flags) == 3);

// SRB_HAInquiry has no pointer member: the same on every architecture.
static_assert(offsetof(SrbHaInquiry, ha_count) == 8);
static_assert(offsetof(SrbHaInquiry, ha_scsi_id) == 9);
static_assert(offsetof(SrbHaInquiry, ha_manager_id) == 10);
static_assert(offsetof(SrbHaInquiry, ha_identifier) == 26);
static_assert(offsetof(SrbHaInquiry, ha_unique) == 42);
static_assert(offsetof(SrbHaInquiry, ha_rsvd1) == 58);
static_assert(sizeof(SrbHaInquiry) == 60);

// Members in front of the first pointer do not move either.
static_assert(offsetof(SrbExecScsiCmd, srb_target) == 8);
static_assert(offsetof(SrbExecScsiCmd, srb_lun) == 9);
static_assert(offsetof(SrbExecScsiCmd, srb_buf_len) == 12);
static_assert(offsetof(SrbExecScsiCmd, srb_buf_pointer) == 16);
static_assert(offsetof(SrbBusDeviceReset, srb_target) == 8);
static_assert(offsetof(SrbBusDeviceReset, srb_ha_stat) == 22);
static_assert(offsetof(SrbBusDeviceReset, srb_targ_stat) == 23);
static_assert(offsetof(SrbBusDeviceReset, srb_post_proc) == 24);
static_assert(offsetof(SrbAbort, srb_to_abort) == 8);

#if UINTPTR_MAX == 0xFFFFFFFFU
// 32-bit: the published layout.
static_assert(offsetof(SrbExecScsiCmd, srb_sense_len) == 20);
static_assert(offsetof(SrbExecScsiCmd, srb_cdb_len) == 21);
static_assert(offsetof(SrbExecScsiCmd, srb_ha_stat) == 22);
static_assert(offsetof(SrbExecScsiCmd, srb_targ_stat) == 23);
static_assert(offsetof(SrbExecScsiCmd, srb_post_proc) == 24);
static_assert(offsetof(SrbExecScsiCmd, srb_rsvd2) == 28);
static_assert(offsetof(SrbExecScsiCmd, cdb_byte) == 48);
static_assert(offsetof(SrbExecScsiCmd, sense_area) == 64);
static_assert(sizeof(SrbExecScsiCmd) == 80);
static_assert(offsetof(SrbBusDeviceReset, srb_rsvd2) == 28);
static_assert(sizeof(SrbBusDeviceReset) == 64);
static_assert(sizeof(SrbAbort) == 12);
#else
// x86_64: packed, 8-byte pointers at the published offsets, later members shifted by 4 per
// pointer in front of them.
static_assert(sizeof(void*) == 8);
static_assert(offsetof(SrbExecScsiCmd, srb_sense_len) == 24);
static_assert(offsetof(SrbExecScsiCmd, srb_cdb_len) == 25);
static_assert(offsetof(SrbExecScsiCmd, srb_ha_stat) == 26);
static_assert(offsetof(SrbExecScsiCmd, srb_targ_stat) == 27);
static_assert(offsetof(SrbExecScsiCmd, srb_post_proc) == 28);
static_assert(offsetof(SrbExecScsiCmd, srb_rsvd2) == 36);
static_assert(offsetof(SrbExecScsiCmd, cdb_byte) == 56);
static_assert(offsetof(SrbExecScsiCmd, sense_area) == 72);
static_assert(sizeof(SrbExecScsiCmd) == 88);
static_assert(offsetof(SrbBusDeviceReset, srb_rsvd2) == 32);
static_assert(sizeof(SrbBusDeviceReset) == 68);
static_assert(sizeof(SrbAbort) == 16);
#endif

}  // namespace fwu
