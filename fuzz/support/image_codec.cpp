#include "support/image_codec.h"

#include <algorithm>
#include <span>

#include "update/firmware_image.h"
#include "update/image_codec.h"

namespace fwu::fuzz {
namespace {

constexpr std::size_t kMaxPatches = 32;
constexpr std::size_t kMaxPatchBytes = 255;

ColumnSums CountColumns(std::span<const std::uint8_t> plain) {
  ColumnSums sums{};
  std::size_t column = 0;
  for (const std::uint8_t byte : plain) {
    sums[column] += byte;
    column = column + 1 == kColumnSumCount ? 0 : column + 1;
  }
  return sums;
}

// The three images of a run, kept between runs: a fresh 196,608-byte allocation each time would
// cost more than the codec itself.
struct Images {
  std::vector<std::uint8_t> stored = std::vector<std::uint8_t>(kImageBytes);
  std::vector<std::uint8_t> plain = std::vector<std::uint8_t>(kImageBytes);
  std::vector<std::uint8_t> again = std::vector<std::uint8_t>(kImageBytes);
};

}  // namespace

void RunImageCodec(Tape& tape, const ImageScenario* scenario) {
  const ImageScenario none;
  const ImageScenario& planned = scenario != nullptr ? *scenario : none;
  const FirmwareImage& embedded = ImageList().front();

  static Images images;
  std::vector<std::uint8_t>& stored = images.stored;
  switch (tape.Choice(3, planned.zero_base ? 1 : 0)) {
    case 0:
      std::copy(embedded.stored.begin(), embedded.stored.end(), stored.begin());
      break;
    case 1:
      std::fill(stored.begin(), stored.end(), std::uint8_t{0});
      break;
    default:
      std::fill(stored.begin(), stored.end(), tape.Byte(0));
      break;
  }
  for (std::size_t i = 0;
       i < kMaxPatches && tape.Flag(scenario != nullptr && i < planned.patches.size()); ++i) {
    const auto* patch =
        scenario != nullptr && i < planned.patches.size() ? &planned.patches[i] : nullptr;
    const std::uint32_t offset = tape.U32(patch != nullptr ? patch->first : 0) % kImageBytes;
    const std::size_t length = std::min<std::size_t>(
        tape.Choice(kMaxPatchBytes + 1, patch != nullptr ? patch->second.size() : 0),
        kImageBytes - offset);
    tape.Fill(std::span(stored).subspan(offset, length),
              patch != nullptr ? std::span<const std::uint8_t>(patch->second)
                               : std::span<const std::uint8_t>());
  }

  const ScramblingTable table = BuildScramblingTable();
  std::vector<std::uint8_t>& plain = images.plain;
  const std::span<const std::uint8_t, kImageBytes> stored_view(stored.data(), kImageBytes);
  const std::span<std::uint8_t, kImageBytes> plain_view(plain.data(), kImageBytes);
  Descramble(stored_view, plain_view, table);

  std::vector<std::uint8_t>& again = images.again;
  Scramble(plain_view, std::span<std::uint8_t, kImageBytes>(again.data(), kImageBytes), table);
  Require(again == stored, "scrambling did not undo descrambling");

  const ColumnSums sums = ComputeColumnSums(plain_view);
  Require(sums == CountColumns(plain), "the column sums differ from a byte-by-byte count");

  ExpectedSums expected{};
  switch (tape.Choice(3, planned.own_sums ? 0 : 1)) {
    case 0:
      std::copy(sums.begin(), sums.end(), expected.begin());
      break;
    case 1:
      expected = embedded.expected_sums;
      break;
    default:
      for (std::uint32_t& sum : expected) {
        sum = tape.U32(0);
      }
      break;
  }
  for (std::size_t slot = kColumnSumCount; slot < kExpectedSumSlots; ++slot) {
    expected[slot] = tape.U32(0);  // padding, never compared
  }
  Require(SumsMatch(sums, expected) == std::equal(sums.begin(), sums.end(), expected.begin()),
          "the sums matched against other slots than the thirteen that carry meaning");
}

}  // namespace fwu::fuzz
