#include "platform/sim/request_record_rules.h"

namespace fwu::sim {

std::size_t AspiRecordSize(std::uint8_t command) {
  switch (command) {
    case aspi::kScHaInquiry:
      return sizeof(SrbHaInquiry);
    case aspi::kScExecScsiCmd:
      return sizeof(SrbExecScsiCmd);
    case aspi::kScAbortSrb:
      return sizeof(SrbAbort);
    case aspi::kScResetDev:
      return sizeof(SrbBusDeviceReset);
    default:
      return 4;
  }
}

std::optional<std::string_view> RefusedExecRequest(const SrbExecScsiCmd& srb) {
  constexpr std::uint8_t kBothDirections = aspi::kSrbDirIn | aspi::kSrbDirOut;
  if ((srb.srb_flags & kBothDirections) == kBothDirections) {
    return "a request that moves data both ways";
  }
  if (srb.srb_cdb_len == 0 || srb.srb_cdb_len > aspi::kCdbBytes) {
    return "a CDB length the record cannot hold";
  }
  if (srb.srb_buf_len != 0 && srb.srb_buf_pointer == nullptr) {
    return "a data length without a data buffer";
  }
  if ((srb.srb_flags & aspi::kSrbEventNotify) != 0 && srb.srb_post_proc == nullptr) {
    return "event notification without an event";
  }
  return std::nullopt;
}

std::optional<std::string_view> RefusedPassThroughRequest(const ScsiPassThroughDirect& record,
                                                          std::uint32_t block_size) {
  if (record.length != sizeof(ScsiPassThroughDirect)) {
    return "a pass-through record of the wrong length";
  }
  if (record.cdb_length == 0 || record.cdb_length > sizeof record.cdb) {
    return "a CDB length the record cannot hold";
  }
  if (record.sense_info_offset < sizeof(ScsiPassThroughDirect) ||
      record.sense_info_offset + std::uint64_t{record.sense_info_length} > block_size) {
    return "a sense buffer outside the pass-through block";
  }
  if (record.data_in > kScsiIoctlDataUnspecified) {
    return "a data direction the driver does not know";
  }
  if (record.data_transfer_length != 0 && record.data_buffer == nullptr) {
    return "a data length without a data buffer";
  }
  return std::nullopt;
}

}  // namespace fwu::sim
