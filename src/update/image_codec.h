#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "update/firmware_image.h"

namespace fwu {

// One byte position (0-255) per entry: plain byte i of a 256-byte block is the stored byte at
// position table[i] of the same block.
using ScramblingTable = std::array<std::uint8_t, kScrambleBlockBytes>;

// Column sum j is the sum of the plain bytes at positions p with p mod 13 == j.
using ColumnSums = std::array<std::uint32_t, kColumnSumCount>;

using ExpectedSums = std::array<std::uint32_t, kExpectedSumSlots>;

// Derived from three constants rather than held as data: the constants are all that the build
// tool and the program have to agree on.
ScramblingTable BuildScramblingTable();

// plain[256 * b + i] = stored[256 * b + table[i]] for all 768 blocks.
void Descramble(std::span<const std::uint8_t, kImageBytes> stored,
                std::span<std::uint8_t, kImageBytes> plain, const ScramblingTable& table);

// The inverse of Descramble with the same table: the build uses it to produce the stored form.
void Scramble(std::span<const std::uint8_t, kImageBytes> plain,
              std::span<std::uint8_t, kImageBytes> stored, const ScramblingTable& table);

ColumnSums ComputeColumnSums(std::span<const std::uint8_t, kImageBytes> plain);

// Only slots 0-12 of the expected sums carry meaning; 13-15 are padding and never compared.
bool SumsMatch(const ColumnSums& sums, const ExpectedSums& expected);

}  // namespace fwu
