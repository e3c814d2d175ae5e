// How the ASPI transport waits for a request: blocked in the completion wait, not spinning on
// the clock, and ending at the same moments a poll of the calendar clock would.
#include <chrono>
#include <cstdio>

#include <gtest/gtest.h>
#include <sys/resource.h>

#include "support/aspi_machine.h"

namespace fwu {
namespace {

using emulator::FaultAction;
using emulator::FaultMatch;
using emulator::FaultRule;

double ProcessCpuMilliseconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto ms = [](const timeval& time) { return time.tv_sec * 1000.0 + time.tv_usec / 1000.0; };
  return ms(usage.ru_utime) + ms(usage.ru_stime);
}

TEST(AspiWait, AMinuteLongCommandIsWaitedForWithoutBurningTheProcessor) {
  test::AspiMachine machine;
  emulator::EmulatedDrive& drive = machine.StartWithOneDrive();
  drive.SetDuration(opcode::kSendDiagnostic, 60'000);
  std::uint8_t page[8] = {0x88, 0, 0, 4, 0, 0x40, 0, 0};
  machine.transport->SetDataBuffer(page, sizeof page);
  const std::uint32_t waits_before = machine.aspi.Snapshot().blocking_waits;
  const std::uint32_t tests_before = machine.aspi.Snapshot().event_tests;
  const std::uint64_t start = machine.NowMs();
  const double cpu_before = ProcessCpuMilliseconds();
  const auto wall_before = std::chrono::steady_clock::now();

  EXPECT_EQ(machine.transport->SendDiagnostic(0, 8), RequestStatus::SS_COMP);

  const double cpu_ms = ProcessCpuMilliseconds() - cpu_before;
  const double wall_ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wall_before)
          .count();
  EXPECT_EQ(machine.NowMs() - start, 60'000U);
  // One look at the event and one blocking wait, whatever the wait's length: a spinning poll
  // would have looked millions of times.
  EXPECT_EQ(machine.aspi.Snapshot().blocking_waits - waits_before, 1U);
  EXPECT_EQ(machine.aspi.Snapshot().event_tests - tests_before, 1U);
  std::printf("[ cpu      ] 60 s (virtual) command wait: %.2f ms CPU, %.2f ms wall\n", cpu_ms,
              wall_ms);
  ::testing::Test::RecordProperty("cpu_ms", std::to_string(cpu_ms));
}

TEST(AspiWait, TheTimeOutEndsOnTheCalendarTickWithFewWakeUps) {
  test::AspiMachine machine;
  emulator::EmulatedDrive& drive = machine.StartWithOneDrive();
  drive.Faults().Add(
      FaultRule{FaultMatch::Command(opcode::kTestUnitReady), FaultAction::NoCompletion()});
  machine.clock.Sleep(400 + 1000 - machine.NowMs() % 1000);  // 400 ms into a second
  const std::uint64_t start = machine.NowMs();
  const std::uint32_t waits_before = machine.aspi.Snapshot().blocking_waits;
  std::uint8_t cdb[6] = {};
  EXPECT_EQ(machine.transport->ExecuteCdb6(cdb, 5), RequestStatus::SS_PENDING);
  // The clock read 5 seconds more at the tick 4.6 s after the start.
  EXPECT_EQ(machine.NowMs(), start + 4'600);
  // One long wait up to the last second, then short ones through the 600 ms left of it.
  EXPECT_LE(machine.aspi.Snapshot().blocking_waits - waits_before, 1U + 600U);
  EXPECT_EQ(machine.aspi.Snapshot().pumped_messages, 0U);
}

}  // namespace
}  // namespace fwu
