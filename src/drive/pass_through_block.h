#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "drive/data_direction.h"
#include "drive/pass_through_record.h"
#include "drive/request_status.h"
#include "drive/scsi_request.h"

namespace fwu {

// The request block of one pass-through command, which the storage driver takes as its input
// and fills in as its output: the record, the sense buffer and the staging area, laid out as
// pass_through_record.h describes.
class PassThroughBlock {
 public:
  // Lays one command out afresh: the record, an empty sense buffer, and in the staging area the
  // data the command sends or the bytes it will receive into. The data is at most
  // kStagingAreaBytes long.
  void Write(std::span<const std::uint8_t> cdb, DataDirection direction,
             std::span<const std::uint8_t> data);

  void* Bytes() { return bytes_.data(); }
  static constexpr std::uint32_t Size() { return kPassThroughBlockBytes; }

  // The staging area as the driver left it, into the caller's data.
  void CopyStagedTo(std::span<std::uint8_t> data) const;

  // The driver's answer: the drive's status byte and sense go into the request. A command
  // completes with GOOD status and fails with any other.
  RequestStatus ReadReply(ScsiRequest& request) const;

 private:
  alignas(16) std::array<std::uint8_t, kPassThroughBlockBytes> bytes_{};
};

}  // namespace fwu
