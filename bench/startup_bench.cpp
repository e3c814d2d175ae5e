#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <sstream>
#include <streambuf>
#include <vector>

#include <benchmark/benchmark.h>

#include "drive/aspi_transport.h"
#include "drive/pass_through_transport.h"
#include "emulator/emulated_drive.h"
#include "platform/sim/device_setting_presets.h"
#include "platform/sim/sim_aspi_manager.h"
#include "platform/sim/sim_locale.h"
#include "platform/sim/sim_pass_through_driver.h"
#include "platform/sim/sim_system_services.h"
#include "platform/sim/simulated_pc.h"
#include "platform/sim/terminal_dialog_host.h"
#include "platform/sim/virtual_clock.h"
#include "platform/sim/windows_versions.h"
#include "programs/simulated_pc/program_run.h"

namespace fwu {
namespace {

// Swallows the terminal output of the simulated dialogs.
class NullBuffer final : public std::streambuf {
 protected:
  int_type overflow(int_type c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char* /*text*/, std::streamsize count) override { return count; }
};

// The ASPI transport shows its binding messages here; a bench has nobody to show them to.
class SilentDialogs final : public platform::DialogHost {
 public:
  int RunModal(platform::DialogLogic& /*logic*/, platform::WindowHandle /*parent*/) override {
    return platform::kIdCancel;
  }
  int ShowMessageBox(platform::WindowHandle /*owner*/, std::string_view /*text*/,
                     std::string_view /*caption*/, std::uint32_t /*style*/) override {
    return platform::kIdOk;
  }
  void Beep(std::uint32_t /*type*/) override {}
  // No dialog runs here, so nothing can happen while a handler waits.
  bool HandleMessagesUntil(const std::function<bool()>& done,
                           std::uint32_t /*check_period_ms*/) override {
    return done();
  }
  void BeginWaitCursor() override {}
  void EndWaitCursor() override {}
};

// The whole cycle of a PC whose settings need a change, as a user answers it: the first start
// prepares and restarts, the start after the logon updates, restores and restarts, the third
// finds nothing to do. Everything runs in virtual time, so the 127 s of the update's waits and
// the drive's own durations cost no wall time: what is measured is the program's own work.
void BM_WholeCycleInVirtualTime(benchmark::State& state) {
  NullBuffer null_buffer;
  std::ostream silent(&null_buffer);
  double virtual_seconds = 0;
  for ([[maybe_unused]] const auto& _ : state) {
    sim::SimulatedPc pc(*sim::WindowsVersionNamed("xp"), 1252, sim::CarriedFirmware());
    pc.AddDrive({'E', 0, 1}, emulator::EmulatedDrive::XtM7731("1029", 32));
    sim::AddDeviceSettings(pc.registry, true, true);
    std::istringstream answers("Agree\nOK\nOK\nUpdate Start\nOK\nOK\nOK\n");
    int restarts = 0;
    for (int boot = 0; boot < 3; ++boot) {
      sim::TerminalDialogHost host(answers, silent, pc.Clock(), {});
      restarts += RunProgram(pc, host).restart_requested ? 1 : 0;
      pc.Restart();
    }
    if (restarts != 2 || pc.Drive(0).Revision() != "1033") {
      state.SkipWithError("the cycle did not go as it should");
      return;
    }
    virtual_seconds = static_cast<double>(pc.Virtual()->NowMilliseconds()) / 1000;
  }
  state.counters["virtual_s"] = virtual_seconds;
}
BENCHMARK(BM_WholeCycleInVirtualTime)->Unit(benchmark::kMillisecond);

// Discovery walks every drive letter A to Z; the argument is how many of them hold a drive
// (1: the usual PC, 26: the worst case). The drives' time passes virtually and is reported as
// device_ms; the wall time measured is what the walk adds to it.
void BM_PassThroughDiscovery26Letters(benchmark::State& state) {
  sim::VirtualClock clock;
  sim::SimLocale locale;
  sim::SimPassThroughDriver driver(clock);
  std::vector<std::unique_ptr<emulator::EmulatedDrive>> drives;
  for (char letter = 'Z'; letter > 'Z' - state.range(0); --letter) {
    drives.push_back(std::make_unique<emulator::EmulatedDrive>(emulator::EmulatedDrive::XtM7731()));
    driver.AttachDrive(letter, *drives.back());
  }
  PassThroughTransport transport(driver, locale);
  std::uint64_t device_ms = 0;
  for ([[maybe_unused]] const auto& _ : state) {
    const std::uint64_t before = clock.NowMilliseconds();
    benchmark::DoNotOptimize(transport.Enumerate());
    device_ms = clock.NowMilliseconds() - before;
    for (const auto& drive : drives) {
      drive->Log().Clear();
    }
  }
  state.counters["device_ms"] = static_cast<double>(device_ms);
}
BENCHMARK(BM_PassThroughDiscovery26Letters)->Arg(1)->Arg(26)->Unit(benchmark::kMicrosecond);

// ASPI discovery asks 7 host adapters and their 7 targets each, 49 in all; the argument is how
// many targets hold a drive. Requests complete on the simulated manager's own thread.
void BM_AspiDiscovery49Targets(benchmark::State& state) {
  sim::VirtualClock clock;
  sim::SimLocale locale;
  sim::SimSystemServices system;
  system.version = *sim::WindowsVersionNamed("98se");
  SilentDialogs dialogs;
  std::vector<std::unique_ptr<emulator::EmulatedDrive>> drives;
  sim::SimAspiManager aspi(clock);
  for (std::uint8_t adapter = 0; adapter < AspiTransport::kMaxHostAdapters; ++adapter) {
    aspi.AddHostAdapter(7);
  }
  for (int n = 0; n < state.range(0); ++n) {
    drives.push_back(std::make_unique<emulator::EmulatedDrive>(emulator::EmulatedDrive::XtM7731()));
    aspi.AttachDevice(static_cast<std::uint8_t>(n / AspiTransport::kMaxTargets),
                      static_cast<std::uint8_t>(n % AspiTransport::kMaxTargets), *drives.back());
  }
  {
    AspiTransport transport(aspi, system, dialogs, locale, clock);
    std::uint64_t device_ms = 0;
    for ([[maybe_unused]] const auto& _ : state) {
      const std::uint64_t before = clock.NowMilliseconds();
      benchmark::DoNotOptimize(transport.Enumerate());
      device_ms = clock.NowMilliseconds() - before;
      for (const auto& drive : drives) {
        drive->Log().Clear();
      }
    }
    state.counters["device_ms"] = static_cast<double>(device_ms);
    clock.FinishThreads();
  }
}
BENCHMARK(BM_AspiDiscovery49Targets)->Arg(1)->Arg(49)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace fwu
