#pragma once

#include <cstdint>
#include <span>

namespace fwu::emulator {

inline constexpr std::uint32_t kMediumBlockBytes = 2048;
// A single-layer DVD-ROM.
inline constexpr std::uint32_t kMediumBlockCount = 2'295'104;

// The contents of one block of the disc in the drive: "LBA " and the address in eight upper-case
// hex digits, four blanks, then bytes counting up from the low byte of the address. Every block
// differs from its neighbours, so a read of the wrong block or a shifted copy shows.
void FillMediumBlock(std::uint32_t block_address, std::span<std::uint8_t, kMediumBlockBytes> block);

}  // namespace fwu::emulator
