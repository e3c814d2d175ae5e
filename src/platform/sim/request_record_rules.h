#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "drive/aspi_records.h"
#include "drive/pass_through_record.h"

namespace fwu::sim {

// What a request record must be for an ASPI manager or a storage driver to take it, as the
// real ones check it. The simulated manager and driver refuse a record that breaks a rule, as
// the real ones do; the fuzzers' scripted ones treat it as a fault of the program, before
// their own stricter rules. Each check names the broken rule; empty means the record is taken.

// The bytes of the record of an ASPI command; 4 (the header a manager reads first) for a
// command it does not know.
std::size_t AspiRecordSize(std::uint8_t command);

// An SRB_ExecSCSICmd the manager refuses with SS_INVALID_SRB.
std::optional<std::string_view> RefusedExecRequest(const SrbExecScsiCmd& srb);

// A pass-through record, in a block of `block_size` bytes handed over as input and output, that
// the driver refuses with ERROR_INVALID_PARAMETER. A record without a data direction may name a
// length; it moves no data (Windows leaves the direction to the device, Wine sends no data
// phase).
std::optional<std::string_view> RefusedPassThroughRequest(const ScsiPassThroughDirect& record,
                                                          std::uint32_t block_size);

}  // namespace fwu::sim
