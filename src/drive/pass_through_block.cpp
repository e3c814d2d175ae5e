#include "drive/pass_through_block.h"

#include <algorithm>
#include <cstring>

namespace fwu {
namespace {

std::uint8_t DataInFor(DataDirection direction) {
  switch (direction) {
    case DataDirection::kOut:
      return kScsiIoctlDataOut;
    case DataDirection::kIn:
      return kScsiIoctlDataIn;
    case DataDirection::kNone:
      break;
  }
  return kScsiIoctlDataUnspecified;
}

}  // namespace

void PassThroughBlock::Write(std::span<const std::uint8_t> cdb, DataDirection direction,
                             std::span<const std::uint8_t> data) {
  bytes_.fill(0);
  std::uint8_t* const staging = bytes_.data() + kPassThroughStagingOffset;
  ScsiPassThroughDirect record{};
  record.length = sizeof(ScsiPassThroughDirect);
  record.path_id = 0;
  record.target_id = 1;
  record.lun = 0;
  record.cdb_length = static_cast<std::uint8_t>(cdb.size());
  record.sense_info_length = kPassThroughSenseBytes;
  record.data_in = DataInFor(direction);
  record.data_transfer_length = static_cast<std::uint32_t>(data.size());
  record.time_out_value = kPassThroughTimeoutSeconds;
  record.data_buffer = staging;
  record.sense_info_offset = static_cast<std::uint32_t>(kPassThroughSenseOffset);
  std::copy_n(cdb.begin(), std::min(cdb.size(), sizeof record.cdb), record.cdb);
  std::memcpy(bytes_.data(), &record, sizeof record);
  std::copy(data.begin(), data.end(), staging);
}

void PassThroughBlock::CopyStagedTo(std::span<std::uint8_t> data) const {
  std::copy_n(bytes_.begin() + kPassThroughStagingOffset, data.size(), data.begin());
}

RequestStatus PassThroughBlock::ReadReply(ScsiRequest& request) const {
  ScsiPassThroughDirect record{};
  std::memcpy(&record, bytes_.data(), sizeof record);
  request.target_status = record.scsi_status;
  const std::uint8_t* const sense = bytes_.data() + kPassThroughSenseOffset;
  request.sense_length = static_cast<std::uint32_t>(sense[7]) + 8U;
  std::copy_n(sense, kPassThroughSenseBytes, request.sense.begin());
  return record.scsi_status == kScsiStatusGood ? RequestStatus::SS_COMP : RequestStatus::SS_ERR;
}

}  // namespace fwu
