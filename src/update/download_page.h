#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "update/firmware_image.h"

namespace fwu {

// The drive's diagnostic page 0x88: the parameter list of every SEND DIAGNOSTIC the program
// sends, for the identification query and for the download. Eight header bytes, then, for a
// data block only, one 32,768-byte block of the image.
inline constexpr std::size_t kPageHeaderBytes = 8;
inline constexpr std::size_t kDataPageBytes = kPageHeaderBytes + kDownloadBlockBytes;  // 32,776

namespace sub_command {
inline constexpr std::uint8_t kIdentify = 0x40;
inline constexpr std::uint8_t kDownloadControl = 0xF0;  // argument 0x00, then 0xFF
inline constexpr std::uint8_t kDownloadData = 0xC0;     // argument: block 1.., or 0x00 to close
}  // namespace sub_command

// A page without a data block; its length field counts the four bytes after offset 3.
constexpr std::array<std::uint8_t, kPageHeaderBytes> ShortPage(std::uint8_t sub_command,
                                                               std::uint8_t argument) {
  return {0x88, 0x00, 0x00, 0x04, 0x00, sub_command, argument, 0x00};
}

// The header of data block n (from 1); the length field's top bit says a block follows.
constexpr std::array<std::uint8_t, kPageHeaderBytes> BlockPageHeader(std::uint8_t block) {
  return {0x88, 0x00, 0x80, 0x04, 0x00, sub_command::kDownloadData, block, 0x00};
}

}  // namespace fwu
