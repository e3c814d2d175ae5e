#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "drive_report/drive_log.h"

namespace fwu::test {

enum class ExpectedDownload : std::uint8_t {
  kComplete,      // the six blocks and the closing step, all taken
  kRefusedBlock,  // the drive refuses a data block; nothing follows it
  kNone,          // the drive is never written to
};

struct DownloadExpectation {
  ExpectedDownload outcome = ExpectedDownload::kComplete;
  std::uint32_t refused_block = 0;  // with kRefusedBlock, 1-based
  std::uint32_t wait_divisor = 1;   // the program's waits are divided by this (its test build)
};

struct Verdict {
  std::vector<std::string> findings;  // empty: the log is as it should be
  std::vector<std::string> measured;  // the waits, for the run's output
};

// Judges what one drive saw over a run, every boot of it, by the download protocol as the
// drive knows it, whichever transport carried the commands:
// - every command: a command the drive knows, its CDB length, the data direction its operation
//   code has (or none when it announces no data), a data length equal to what the CDB announces,
//   and a data phase the drive found fitting;
// - the download, in the last boot that has one and in no other: PREVENT ALLOW MEDIUM REMOVAL
//   (allow), the eject, the two 0xF0 steps, the data blocks 1 to 6 and the closing step, each
//   a SEND DIAGNOSTIC of 8 or 32,776 bytes, all GOOD and nothing else after the eject (a
//   command repeated after UNIT ATTENTION counts once); with a refused block, the steps up to
//   that block, which ends the log;
// - the waits the drive notices: 122 s from the eject to the first 0xF0 step and 3 s between
//   the two, divided by the divisor; not shorter, and not longer by more than the command's own
//   duration and half the wait or half a second, whichever is more.
Verdict JudgeDriveLog(const std::vector<LoggedBoot>& boots, const DownloadExpectation& expected);

}  // namespace fwu::test
