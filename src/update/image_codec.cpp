#include "update/image_codec.h"

#include <algorithm>
#include <cstddef>

namespace fwu {

namespace {

// table[i] = ((kMultiplier * i + kOffset) mod 256) XOR kMask.
// Multiplication by an odd number is invertible modulo 256 (an odd number shares no factor with
// 2^8), so i -> kMultiplier * i + kOffset visits every residue exactly once; XOR with a fixed
// mask is its own inverse. Both steps are bijections on 0-255, hence so is the table.
constexpr unsigned kMultiplier = 0xA5;
constexpr unsigned kOffset = 0x3B;
constexpr unsigned kMask = 0x6E;
static_assert(kMultiplier % 2 == 1, "an even multiplier would not give a permutation");

constexpr ScramblingTable MakeScramblingTable() {
  ScramblingTable table{};
  for (unsigned i = 0; i < kScrambleBlockBytes; ++i) {
    table[i] = static_cast<std::uint8_t>(((kMultiplier * i + kOffset) & 0xFFU) ^ kMask);
  }
  return table;
}

constexpr bool IsPermutation(const ScramblingTable& table) {
  std::array<bool, kScrambleBlockBytes> seen{};
  for (const std::uint8_t position : table) {
    if (seen[position]) {
      return false;
    }
    seen[position] = true;
  }
  return true;
}

static_assert(IsPermutation(MakeScramblingTable()));
static_assert(kImageBytes % kScrambleBlockBytes == 0);

// The sums are gathered over strips of kStripBytes, a multiple of 13, into one accumulator per
// strip offset: every accumulator then belongs to a single residue, and the inner loop is a
// plain element-wise add that the compiler vectorises. Folding the accumulators by residue at
// the end gives the same sums as adding row by row, since unsigned addition commutes (and
// 196,608 * 255 stays far below 2^32, so nothing wraps either way).
constexpr std::size_t kStripBytes = kColumnSumCount * 32;
constexpr std::size_t kFullStrips = kImageBytes / kStripBytes;
static_assert(kFullStrips * 255ULL <= 0xFFFFFFFFULL, "a strip accumulator could overflow");

}  // namespace

ScramblingTable BuildScramblingTable() {
  return MakeScramblingTable();
}

void Descramble(std::span<const std::uint8_t, kImageBytes> stored,
                std::span<std::uint8_t, kImageBytes> plain, const ScramblingTable& table) {
  for (std::size_t block = 0; block < kImageBytes; block += kScrambleBlockBytes) {
    const std::uint8_t* from = stored.data() + block;
    std::uint8_t* to = plain.data() + block;
    for (std::size_t i = 0; i < kScrambleBlockBytes; ++i) {
      to[i] = from[table[i]];
    }
  }
}

void Scramble(std::span<const std::uint8_t, kImageBytes> plain,
              std::span<std::uint8_t, kImageBytes> stored, const ScramblingTable& table) {
  for (std::size_t block = 0; block < kImageBytes; block += kScrambleBlockBytes) {
    const std::uint8_t* from = plain.data() + block;
    std::uint8_t* to = stored.data() + block;
    for (std::size_t i = 0; i < kScrambleBlockBytes; ++i) {
      to[table[i]] = from[i];
    }
  }
}

ColumnSums ComputeColumnSums(std::span<const std::uint8_t, kImageBytes> plain) {
  std::array<std::uint32_t, kStripBytes> strip{};
  const std::uint8_t* bytes = plain.data();
  for (std::size_t s = 0; s < kFullStrips; ++s, bytes += kStripBytes) {
    for (std::size_t k = 0; k < kStripBytes; ++k) {
      strip[k] += bytes[k];
    }
  }
  // The tail starts on a multiple of 13, so its offsets keep their residues.
  const std::size_t tail = kImageBytes - kFullStrips * kStripBytes;
  for (std::size_t k = 0; k < tail; ++k) {
    strip[k] += bytes[k];
  }

  ColumnSums sums{};
  for (std::size_t k = 0; k < kStripBytes; ++k) {
    sums[k % kColumnSumCount] += strip[k];
  }
  return sums;
}

bool SumsMatch(const ColumnSums& sums, const ExpectedSums& expected) {
  return std::equal(sums.begin(), sums.end(), expected.begin());
}

}  // namespace fwu
