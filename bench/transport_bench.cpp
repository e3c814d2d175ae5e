#include <array>
#include <cstdint>
#include <vector>

#include <benchmark/benchmark.h>

#include "drive/pass_through_transport.h"
#include "emulator/emulated_drive.h"
#include "platform/sim/sim_locale.h"
#include "platform/sim/sim_pass_through_driver.h"
#include "platform/sim/virtual_clock.h"

namespace fwu {
namespace {

// What one pass-through attempt costs the program beyond the drive's own time: building the
// request block, the staging copies, the driver call into the emulator and the result handling.
// The drive's durations pass in virtual time, so only the program's own work is measured.
void PassThroughCommand(benchmark::State& state, std::uint32_t data_bytes) {
  sim::VirtualClock clock;
  sim::SimLocale locale;
  sim::SimPassThroughDriver driver(clock);
  emulator::EmulatedDrive drive(emulator::EmulatedDrive::XtM7731());
  driver.AttachDrive('E', drive, 65536);
  PassThroughTransport transport(driver, locale);
  if (transport.Enumerate() != 1) {
    state.SkipWithError("drive not found");
    return;
  }
  transport.Select(0);
  std::vector<std::uint8_t> data(data_bytes);
  transport.SetDataBuffer(data.data(), data_bytes);
  for ([[maybe_unused]] const auto& _ : state) {
    const RequestStatus result =
        data_bytes == 0 ? transport.TestUnitReady()
                        : transport.Read10(0, static_cast<std::uint16_t>(data_bytes / 2048), 0, 0);
    benchmark::DoNotOptimize(result);
    if (drive.Log().Size() > 4096) {
      state.PauseTiming();
      drive.Log().Clear();
      state.ResumeTiming();
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * data_bytes);
}

void BM_PassThroughTestUnitReady(benchmark::State& state) {
  PassThroughCommand(state, 0);
}
BENCHMARK(BM_PassThroughTestUnitReady);

void BM_PassThroughRead32KiB(benchmark::State& state) {
  PassThroughCommand(state, 32768);
}
BENCHMARK(BM_PassThroughRead32KiB);

}  // namespace
}  // namespace fwu
