#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace fwu {

inline constexpr std::uint32_t kImageBytes = 0x30000;  // 196,608
inline constexpr std::uint32_t kDownloadBlockBytes = 32768;
inline constexpr std::uint32_t kScrambleBlockBytes = 256;
inline constexpr std::uint32_t kColumnSumCount = 13;
inline constexpr std::uint32_t kExpectedSumSlots = 16;

// One entry of the firmware the program carries. The image bytes are stored scrambled.
struct FirmwareImage {
  std::string_view drive_code;  // 2 characters, as the drive's identification query reports
  std::string_view version;     // 4 characters; the last two, read as a number, are compared
  std::int8_t build;            // compared with the drive's build when the numbers are equal
  std::uint32_t block_count;    // 32,768-byte blocks sent to the drive
  std::array<std::uint32_t, kExpectedSumSlots> expected_sums;  // 0-12 are the column sums
  std::span<const std::uint8_t, kImageBytes> stored;           // scrambled image
};

// The image list, scanned in order by every lookup.
std::span<const FirmwareImage> ImageList();

}  // namespace fwu
