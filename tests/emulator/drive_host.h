#pragma once

#include <array>
#include <cstdint>
#include <ostream>
#include <span>
#include <vector>

#include "drive/command_set.h"
#include "emulator/diagnostic_page.h"
#include "emulator/emulated_drive.h"
#include "emulator/sense_code.h"

namespace fwu::emulator {

// Readable failure messages for the drive's own types.
inline void PrintTo(const SenseCode& code, std::ostream* out) {
  *out << std::hex << "sense " << int{code.key} << "/" << int{code.asc} << "/" << int{code.ascq};
}
inline void PrintTo(const PageCommand& page, std::ostream* out) {
  *out << std::hex << "page " << int{page.sub_command} << "/" << int{page.argument};
}

}  // namespace fwu::emulator

namespace fwu::emulator::testing {

// The host side of the bus, as a transport drives it: the command's own data direction, a buffer
// of exactly the announced length, and the download pages byte for byte.
class DriveHost {
 public:
  explicit DriveHost(EmulatedDrive& drive) : drive_(drive) {}

  CommandOutcome Send(const Cdb& cdb, std::span<std::uint8_t> data = {}) {
    return drive_.Execute(std::span(cdb.bytes).first(cdb.length),
                          data.empty() ? DataDirection::kNone : DataDirectionOf(cdb.bytes[0]),
                          data);
  }

  CommandOutcome Inquiry(std::vector<std::uint8_t>& data) {
    return Send(InquiryCdb(static_cast<std::uint8_t>(data.size())), data);
  }

  CommandOutcome Page(std::uint8_t sub_command, std::uint8_t argument,
                      std::span<const std::uint8_t> block = {}) {
    std::vector<std::uint8_t> page = PageBytes(sub_command, argument, block);
    return Send(SendDiagnosticCdb(0, static_cast<std::uint16_t>(page.size())), page);
  }

  // The identification result, or the outcome of the command that failed.
  CommandOutcome Identify(std::array<std::uint8_t, kIdentificationResultBytes>& result) {
    const CommandOutcome sent = Page(sub_command::kIdentify, 0);
    if (sent.status != scsi_status::kGood) {
      return sent;
    }
    return Send(ReceiveDiagnosticResultsCdb(kIdentificationResultBytes), result);
  }

  // The worker's sequence; stops at the first step that does not end with GOOD.
  CommandOutcome Download(std::span<const std::uint8_t> image) {
    CommandOutcome outcome = Page(sub_command::kDownloadControl, 0x00);
    if (outcome.status == scsi_status::kGood) {
      outcome = Page(sub_command::kDownloadControl, 0xFF);
    }
    for (std::uint32_t n = 1; n <= kDownloadBlockCount && outcome.status == scsi_status::kGood;
         ++n) {
      outcome = Page(sub_command::kDownloadData, static_cast<std::uint8_t>(n),
                     image.subspan((n - 1) * kDownloadBlockBytes, kDownloadBlockBytes));
    }
    if (outcome.status == scsi_status::kGood) {
      outcome = Page(sub_command::kDownloadData, 0x00);
    }
    return outcome;
  }

  static std::vector<std::uint8_t> PageBytes(std::uint8_t sub_command, std::uint8_t argument,
                                             std::span<const std::uint8_t> block = {}) {
    const std::size_t length = kPageLengthOffset + block.size();
    std::vector<std::uint8_t> page{kDiagnosticPageCode,
                                   0,
                                   static_cast<std::uint8_t>(length >> 8U),
                                   static_cast<std::uint8_t>(length),
                                   0,
                                   sub_command,
                                   argument,
                                   0};
    page.insert(page.end(), block.begin(), block.end());
    return page;
  }

 private:
  EmulatedDrive& drive_;
};

inline SenseCode SenseOf(const CommandOutcome& outcome) {
  return SenseCodeOf(outcome.sense);
}

inline std::vector<std::uint8_t> TestImage(std::uint32_t seed = 1) {
  std::vector<std::uint8_t> image(kFirmwareImageBytes);
  std::uint32_t x = seed * 2654435761U + 1;
  for (auto& byte : image) {
    x ^= x << 13U;
    x ^= x >> 17U;
    x ^= x << 5U;
    byte = static_cast<std::uint8_t>(x);
  }
  return image;
}

}  // namespace fwu::emulator::testing
