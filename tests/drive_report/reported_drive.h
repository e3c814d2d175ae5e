#pragma once

#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "drive_report/drive_options.h"
#include "emulator/emulated_drive.h"

namespace fwu::test {

// An emulated XT-M7731 as the test libraries carry it: built from its options, knowing the
// plain image the program carries (a complete download of it installs the revision and build
// of the program's image list entry), and reporting what it has seen beside the report path
// of its options:
//   REPORT      after every SEND DIAGNOSTIC, one line of JSON: {"commands": N,
//               "blocks_received": N, "download": "idle|armed|receiving|pending",
//               "revision": "1033", "build": 32, "image_equals_plain_image": true}
//   REPORT.bin  after every SEND DIAGNOSTIC, the image as received (196,608 bytes, zero where
//               no block arrived)
//   REPORT.log  the command log, appended command by command (command_log_line.h); a boot line
//               opens it for each drive built, so the restarts of a run show
// Commands are stamped with the monotonic clock. The drive takes no time: it answers at once
// and only logs how long it says a command took.
class ReportedDrive {
 public:
  // `boot` names the power-on in the log (which process built the drive, for what device).
  ReportedDrive(const DriveOptions& options, std::vector<std::uint8_t> plain_image,
                std::string_view boot);
  ReportedDrive(const ReportedDrive&) = delete;
  ReportedDrive& operator=(const ReportedDrive&) = delete;

  emulator::CommandOutcome Execute(std::span<const std::uint8_t> cdb, DataDirection direction,
                                   std::span<std::uint8_t> data);

  const emulator::EmulatedDrive& Drive() const { return drive_; }

 private:
  void Append(const std::string& line) const;
  void WriteSummary() const;

  emulator::EmulatedDrive drive_;
  std::vector<std::uint8_t> plain_image_;
  std::string report_;
  std::mutex mutex_;  // one command and its report lines at a time
  unsigned commands_ = 0;
};

// The whole file; empty when it cannot be read.
std::vector<std::uint8_t> FileBytes(const std::string& path);

}  // namespace fwu::test
