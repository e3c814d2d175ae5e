#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "update/firmware_image.h"
#include "update/image_codec.h"

namespace fwu {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::span<const std::uint8_t, kImageBytes> View(const Bytes& bytes) {
  return std::span<const std::uint8_t, kImageBytes>(bytes.data(), kImageBytes);
}

std::span<std::uint8_t, kImageBytes> MutableView(Bytes& bytes) {
  return std::span<std::uint8_t, kImageBytes>(bytes.data(), kImageBytes);
}

Bytes ReadPlainImageFile() {
  std::ifstream in(FWU_PLAIN_IMAGE_PATH, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes RandomImage(std::uint32_t seed) {
  std::mt19937 random(seed);
  Bytes image(kImageBytes);
  for (std::uint8_t& byte : image) {
    byte = static_cast<std::uint8_t>(random());
  }
  return image;
}

Bytes DescrambleImage(const Bytes& stored) {
  Bytes plain(kImageBytes);
  Descramble(View(stored), MutableView(plain), BuildScramblingTable());
  return plain;
}

Bytes ScrambleImage(const Bytes& plain) {
  Bytes stored(kImageBytes);
  Scramble(View(plain), MutableView(stored), BuildScramblingTable());
  return stored;
}

// The rule in its plainest form, to hold the optimised computation against.
ColumnSums ReferenceColumnSums(const Bytes& plain) {
  ColumnSums sums{};
  for (std::size_t p = 0; p < plain.size(); ++p) {
    sums[p % kColumnSumCount] += plain[p];
  }
  return sums;
}

ExpectedSums AsExpected(const ColumnSums& sums) {
  ExpectedSums expected{};
  std::copy(sums.begin(), sums.end(), expected.begin());
  return expected;
}

std::vector<std::size_t> ChangedSums(const ColumnSums& before, const ColumnSums& after) {
  std::vector<std::size_t> changed;
  for (std::size_t j = 0; j < kColumnSumCount; ++j) {
    if (before[j] != after[j]) {
      changed.push_back(j);
    }
  }
  return changed;
}

TEST(EmbeddedImageTest, ListHoldsTheOneEntryForTheDrive) {
  const auto list = ImageList();
  ASSERT_EQ(list.size(), 1U);
  const FirmwareImage& image = list[0];
  EXPECT_EQ(image.drive_code, "km");
  EXPECT_EQ(image.version, "1033");
  EXPECT_EQ(image.build, 32);
  EXPECT_EQ(image.block_count, 6U);
  EXPECT_LE(image.block_count * kDownloadBlockBytes, kImageBytes);
}

TEST(EmbeddedImageTest, DescramblesToThePlainImageItWasBuiltFrom) {
  const Bytes plain_file = ReadPlainImageFile();
  ASSERT_EQ(plain_file.size(), kImageBytes) << FWU_PLAIN_IMAGE_PATH;

  const FirmwareImage& image = ImageList()[0];
  const Bytes stored(image.stored.begin(), image.stored.end());
  const Bytes plain = DescrambleImage(stored);
  EXPECT_TRUE(plain == plain_file);
  EXPECT_FALSE(stored == plain_file) << "the image is embedded unscrambled";

  const ColumnSums sums = ComputeColumnSums(View(plain));
  EXPECT_TRUE(SumsMatch(sums, image.expected_sums));
  EXPECT_EQ(image.expected_sums[13], 0U);
  EXPECT_EQ(image.expected_sums[14], 0U);
  EXPECT_EQ(image.expected_sums[15], 0U);
}

TEST(EmbeddedImageTest, DevelopmentImageIsRecognisable) {
  if (!FWU_IMAGE_IS_DEVELOPMENT) {
    GTEST_SKIP() << "built with a given firmware image";
  }
  const Bytes plain = ReadPlainImageFile();
  ASSERT_EQ(plain.size(), kImageBytes);
  for (std::uint32_t block = 0; block < kImageBytes / kDownloadBlockBytes; ++block) {
    const auto* start = reinterpret_cast<const char*>(plain.data() + block * kDownloadBlockBytes);
    const std::string banner = "XT-M7731 DEVELOPMENT FIRMWARE 1033 BUILD 32 BLOCK " +
                               std::to_string(block + 1) + " - NOT FOR RELEASE";
    EXPECT_EQ(std::string(start, banner.size()), banner) << "block " << block + 1;
  }
  // Beyond the banners the image must vary, or the sums would test nothing.
  const auto zeros = std::count(plain.begin(), plain.end(), std::uint8_t{0});
  EXPECT_LT(zeros, static_cast<std::ptrdiff_t>(kImageBytes / 128));
}

TEST(ScramblingTest, TableIsAPermutationThatMovesBytes) {
  const ScramblingTable table = BuildScramblingTable();
  std::array<bool, kScrambleBlockBytes> seen{};
  for (const std::uint8_t position : table) {
    EXPECT_FALSE(seen[position]) << "position " << int{position} << " used twice";
    seen[position] = true;
  }
  const auto fixed_points = std::count_if(table.begin(), table.end(),
                                          [&, i = 0](std::uint8_t p) mutable { return p == i++; });
  EXPECT_LT(fixed_points, 8);
}

TEST(ScramblingTest, DescrambleFollowsTheTableAndUndoesScramble) {
  const ScramblingTable table = BuildScramblingTable();
  const Bytes stored = RandomImage(1);
  const Bytes plain = DescrambleImage(stored);
  for (const std::size_t block : {0U, 1U, 400U, 767U}) {
    for (std::size_t i = 0; i < kScrambleBlockBytes; ++i) {
      ASSERT_EQ(plain[256 * block + i], stored[256 * block + table[i]])
          << "block " << block << " byte " << i;
    }
  }
  EXPECT_TRUE(ScrambleImage(plain) == stored);
  EXPECT_TRUE(DescrambleImage(ScrambleImage(stored)) == stored);
}

TEST(ColumnSumsTest, AgreeWithTheRuleOnVariedImages) {
  EXPECT_EQ(ComputeColumnSums(View(RandomImage(2))), ReferenceColumnSums(RandomImage(2)));

  // Every residue sees a distinct weight, so a byte counted to the wrong sum shows.
  Bytes ramp(kImageBytes);
  for (std::size_t p = 0; p < ramp.size(); ++p) {
    ramp[p] = static_cast<std::uint8_t>(p * 7 + p / 4096);
  }
  EXPECT_EQ(ComputeColumnSums(View(ramp)), ReferenceColumnSums(ramp));

  // 196,608 = 13 * 15,123 + 9: sums 0-8 cover one byte more than sums 9-12.
  const Bytes full(kImageBytes, 0xFF);
  const ColumnSums sums = ComputeColumnSums(View(full));
  for (std::size_t j = 0; j < kColumnSumCount; ++j) {
    EXPECT_EQ(sums[j], (j <= 8 ? 15124U : 15123U) * 0xFFU) << "sum " << j;
  }
}

TEST(ColumnSumsTest, OnlySlotsZeroToTwelveAreCompared) {
  const ColumnSums sums = ComputeColumnSums(View(RandomImage(3)));
  ExpectedSums expected = AsExpected(sums);
  expected[13] = 0xDEADBEEF;
  expected[15] = 1;
  EXPECT_TRUE(SumsMatch(sums, expected));
  for (const std::size_t slot : {0U, 8U, 12U}) {
    ExpectedSums wrong = expected;
    wrong[slot] += 1;
    EXPECT_FALSE(SumsMatch(sums, wrong)) << "slot " << slot;
  }
}

TEST(ImageIntegrityTest, OneChangedStoredByteChangesExactlyOneSum) {
  const ScramblingTable table = BuildScramblingTable();
  const Bytes stored = ScrambleImage(RandomImage(4));
  const ColumnSums intact = ComputeColumnSums(View(DescrambleImage(stored)));

  for (const std::size_t position :
       {0U, 1U, 255U, 256U, 4097U, 32768U, 100000U, 196352U, 196607U}) {
    Bytes damaged = stored;
    damaged[position] ^= 0x10;
    const ColumnSums sums = ComputeColumnSums(View(DescrambleImage(damaged)));

    const std::size_t block_start = position - position % 256;
    const auto index = std::find(table.begin(), table.end(), position % 256) - table.begin();
    const std::size_t plain_position = block_start + static_cast<std::size_t>(index);
    EXPECT_EQ(ChangedSums(intact, sums), std::vector<std::size_t>{plain_position % 13})
        << "stored byte " << position;
    EXPECT_FALSE(SumsMatch(sums, AsExpected(intact)));
  }
}

TEST(ImageIntegrityTest, LastPlainByteCountsToSumEight) {
  Bytes plain = RandomImage(5);
  const ColumnSums before = ComputeColumnSums(View(plain));
  plain[kImageBytes - 1] += 1;
  EXPECT_EQ(ChangedSums(before, ComputeColumnSums(View(plain))), std::vector<std::size_t>{8});
}

// Swapping two stored bytes of one 256-byte block swaps two plain bytes of that block; the sums
// see that only when the bytes differ and move to different residues.
TEST(ImageIntegrityTest, SwapWithinABlockIsSeenOnlyAcrossResiduesOfDifferentBytes) {
  const ScramblingTable table = BuildScramblingTable();
  const Bytes original = ScrambleImage(RandomImage(6));
  std::mt19937 random(7);
  int detected = 0;
  int undetected_changes = 0;
  for (int trial = 0; trial < 64; ++trial) {
    const std::size_t block = 256 * (random() % 768);
    std::size_t i = random() % 256;
    std::size_t j = (i + 1 + random() % 255) % 256;
    if (trial % 4 == 1) {  // a fair share of pairs in the same residue
      i = random() % (256 - 13);
      j = i + 13;
    }
    Bytes stored = original;
    if (trial % 4 == 0) {  // and of equal bytes
      stored[block + table[j]] = stored[block + table[i]];
    }
    const Bytes plain = DescrambleImage(stored);
    const ExpectedSums expected = AsExpected(ComputeColumnSums(View(plain)));

    std::swap(stored[block + table[i]], stored[block + table[j]]);
    const Bytes result = DescrambleImage(stored);

    const bool bytes_differ = plain[block + i] != plain[block + j];
    const bool residues_differ = (block + i) % 13 != (block + j) % 13;
    EXPECT_EQ(result != plain, bytes_differ);
    const bool seen = !SumsMatch(ComputeColumnSums(View(result)), expected);
    EXPECT_EQ(seen, bytes_differ && residues_differ)
        << "plain positions " << block + i << " and " << block + j;
    detected += seen ? 1 : 0;
    undetected_changes += (bytes_differ && !seen) ? 1 : 0;
  }
  // Both outcomes must actually have occurred for the rule to have been tested.
  EXPECT_GT(detected, 0);
  EXPECT_GT(undetected_changes, 0);
}

}  // namespace
}  // namespace fwu
