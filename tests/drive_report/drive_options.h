#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace fwu::test {

// How the test libraries (the ASPI manager, the SG_IO emulator) set up one emulated XT-M7731,
// written as comma-separated options:
//   revision=R         the firmware revision before the update (default 1029)
//   report=FILE        where the drive reports what it has seen (see reported_drive.h)
//   reject-block=K     data block K of a download (SEND DIAGNOSTIC page 0x88, 0xC0/K) is
//                      refused with CHECK CONDITION, ILLEGAL REQUEST 26/00, every time
//   unit-attention=N   the first N READ(10) commands, the host's clearing reads after a
//                      restart, are answered with UNIT ATTENTION 29/00 (power on)
struct DriveOptions {
  std::string revision = "1029";
  std::string report;
  std::uint32_t refused_block = 0;  // 0: none
  std::uint32_t unit_attentions = 0;
};

// Nothing, with the reason in `error`, for an unknown option or a value that does not fit.
std::optional<DriveOptions> ParseDriveOptions(std::string_view text, std::string& error);

}  // namespace fwu::test
