// Threads and the clock on the real calls: a thread created suspended runs only once resumed,
// resume reports the previous suspend count, the exit code stays readable through a duplicate,
// running threads are counted; waits, divided only in a test build.
#include <atomic>
#include <chrono>
#include <ctime>
#include <vector>

#include <gtest/gtest.h>

#include "platform/win32/handle_cast.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_threads.h"
#include "platform/win32/windows_api.h"
#include "win32/window_probe.h"

namespace fwu::win32 {
namespace {

constexpr DWORD kWaitMs = 5000;

HANDLE SystemHandle(platform::ThreadHandle thread) {
  return PointerFrom<HANDLE>(thread);
}

TEST(Win32Threads, SuspendedThreadRunsOnlyOnceResumedAndLeavesItsExitCode) {
  Win32Threads threads;
  std::atomic<bool> ran{false};
  const platform::ThreadHandle thread = threads.CreateSuspended([&ran] {
    ran = true;
    return 42U;
  });
  ASSERT_NE(thread, 0U);
  Sleep(50);
  EXPECT_FALSE(ran);

  const platform::ThreadHandle duplicate = threads.Duplicate(thread);
  ASSERT_NE(duplicate, 0U);
  std::uint32_t code = 0;
  ASSERT_TRUE(threads.ExitCode(duplicate, code));
  EXPECT_EQ(code, platform::kStillActive);

  EXPECT_EQ(threads.Resume(thread), 1U);
  threads.CloseThread(thread);
  ASSERT_EQ(WaitForSingleObject(SystemHandle(duplicate), kWaitMs), WAIT_OBJECT_0);
  EXPECT_TRUE(ran);
  ASSERT_TRUE(threads.ExitCode(duplicate, code));
  EXPECT_EQ(code, 42U);
  threads.CloseThread(duplicate);
}

// The update worker's start signal: its waiters stay until it is given, and then all go on.
TEST(Win32Threads, ASignalHoldsItsWaitersUntilItIsGiven) {
  Win32Threads threads;
  const platform::SignalHandle signal = threads.CreateSignal();
  ASSERT_NE(signal, 0U);
  std::atomic<int> released{0};
  std::vector<platform::ThreadHandle> waiters;
  for (int i = 0; i < 2; ++i) {
    waiters.push_back(threads.CreateSuspended([&threads, &released, signal] {
      const bool given = threads.WaitForSignal(signal);
      released += given ? 1 : 0;
      return given ? 1U : 0U;
    }));
    ASSERT_NE(waiters.back(), 0U);
    threads.Resume(waiters.back());
  }
  Sleep(100);
  EXPECT_EQ(released, 0);
  EXPECT_TRUE(threads.GiveSignal(signal));
  for (const platform::ThreadHandle waiter : waiters) {
    ASSERT_EQ(WaitForSingleObject(SystemHandle(waiter), kWaitMs), WAIT_OBJECT_0);
    std::uint32_t code = 0;
    ASSERT_TRUE(threads.ExitCode(waiter, code));
    EXPECT_EQ(code, 1U);
    threads.CloseThread(waiter);
  }
  EXPECT_EQ(released, 2);
  EXPECT_TRUE(threads.WaitForSignal(signal)) << "a given signal stays given";
  threads.CloseSignal(signal);
}

TEST(Win32Threads, ResumeReportsThePreviousSuspendCount) {
  Win32Threads threads;
  const platform::ThreadHandle thread = threads.CreateSuspended([] { return 0U; });
  ASSERT_NE(thread, 0U);
  SuspendThread(SystemHandle(thread));
  SuspendThread(SystemHandle(thread));
  EXPECT_EQ(threads.Resume(thread), 3U);
  EXPECT_EQ(threads.Resume(thread), 2U);
  EXPECT_EQ(threads.Resume(thread), 1U);
  ASSERT_EQ(WaitForSingleObject(SystemHandle(thread), kWaitMs), WAIT_OBJECT_0);
  EXPECT_EQ(threads.Resume(thread), 0U);
  threads.CloseThread(thread);
  EXPECT_EQ(threads.Resume(0), platform::kResumeFailed);
}

TEST(Win32Threads, RunningThreadsAreCountedUntilTheirEntryReturns) {
  Win32Threads threads;
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  const platform::ThreadHandle thread = threads.CreateSuspended([release] {
    WaitForSingleObject(release, kWaitMs);
    return 1U;
  });
  ASSERT_NE(thread, 0U);
  EXPECT_EQ(threads.Running(), 0);
  threads.Resume(thread);
  EXPECT_TRUE(test::WaitUntil([&] { return threads.Running() == 1; }, kWaitMs));
  std::uint32_t code = 0;
  EXPECT_TRUE(threads.ExitCode(thread, code));
  EXPECT_EQ(code, platform::kStillActive);

  SetEvent(release);
  ASSERT_EQ(WaitForSingleObject(SystemHandle(thread), kWaitMs), WAIT_OBJECT_0);
  EXPECT_EQ(threads.Running(), 0);
  EXPECT_TRUE(threads.ExitCode(thread, code));
  EXPECT_EQ(code, 1U);
  threads.CloseThread(thread);
  CloseHandle(release);
}

// Measured on the performance counter: Wine's tick count is a copy its server refreshes, and
// it can lag behind a busy machine by a good part of a wait.
std::chrono::milliseconds TimeOf(Win32Clock& clock, std::uint32_t milliseconds) {
  const auto start = std::chrono::steady_clock::now();
  clock.Sleep(milliseconds);
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               start);
}

TEST(Win32Clock, WaitsAreDividedOnlyWhenAskedTo) {
  using std::chrono_literals::operator""ms;
  Win32Clock shipped;
  EXPECT_GE(TimeOf(shipped, 200), 190ms);

  // 2,000 ms become 100 ms.
  Win32Clock test_build(20);
  const auto waited = TimeOf(test_build, 2000);
  EXPECT_GE(waited, 90ms);
  EXPECT_LT(waited, 1000ms);
  test_build.Sleep(0);
}

TEST(Win32Clock, TickCountAndCalendarSecondsAreTheSystems) {
  Win32Clock clock;
  const std::uint32_t ticks = clock.TickCount();
  EXPECT_LE(GetTickCount() - ticks, 100U);
  const auto now = static_cast<std::int64_t>(std::time(nullptr));
  EXPECT_LE(clock.CalendarSeconds() - now, 1);
}

}  // namespace
}  // namespace fwu::win32
