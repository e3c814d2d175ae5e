#include <cstdint>
#include <vector>

#include <benchmark/benchmark.h>

#include "update/firmware_image.h"
#include "update/image_codec.h"

namespace fwu {
namespace {

// The worker's verification step as it runs before every update: rebuild the table, descramble
// the embedded image into the working buffer and check its column sums.
void BM_DescrambleAndVerify(benchmark::State& state) {
  const FirmwareImage& image = ImageList()[0];
  std::vector<std::uint8_t> working(kImageBytes);
  const std::span<std::uint8_t, kImageBytes> plain(working.data(), kImageBytes);
  for ([[maybe_unused]] const auto& _ : state) {
    const ScramblingTable table = BuildScramblingTable();
    Descramble(image.stored, plain, table);
    const bool intact = SumsMatch(ComputeColumnSums(plain), image.expected_sums);
    benchmark::DoNotOptimize(intact);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kImageBytes);
}
BENCHMARK(BM_DescrambleAndVerify);

void BM_Descramble(benchmark::State& state) {
  const FirmwareImage& image = ImageList()[0];
  const ScramblingTable table = BuildScramblingTable();
  std::vector<std::uint8_t> working(kImageBytes);
  const std::span<std::uint8_t, kImageBytes> plain(working.data(), kImageBytes);
  for ([[maybe_unused]] const auto& _ : state) {
    Descramble(image.stored, plain, table);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kImageBytes);
}
BENCHMARK(BM_Descramble);

void BM_ColumnSums(benchmark::State& state) {
  const FirmwareImage& image = ImageList()[0];
  std::vector<std::uint8_t> working(kImageBytes);
  const std::span<std::uint8_t, kImageBytes> plain(working.data(), kImageBytes);
  Descramble(image.stored, plain, BuildScramblingTable());
  for ([[maybe_unused]] const auto& _ : state) {
    ColumnSums sums = ComputeColumnSums(plain);
    benchmark::DoNotOptimize(sums);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kImageBytes);
}
BENCHMARK(BM_ColumnSums);

}  // namespace
}  // namespace fwu
