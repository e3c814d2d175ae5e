// Threads on the simulated PC's virtual clock: one runs at a time, time jumps to the next
// deadline when every thread waits, and the same program gives the same sequence every run.
#include "platform/sim/virtual_clock.h"

#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace fwu::sim {
namespace {

using ::testing::ElementsAre;

TEST(VirtualClock, ALoneThreadsSleepsMoveTimeByExactlyTheirLength) {
  VirtualClock clock;
  const std::int64_t start = clock.CalendarSeconds();
  clock.Sleep(2000);
  clock.Sleep(60000);
  clock.Sleep(60000);
  EXPECT_EQ(clock.NowMilliseconds(), 122000U);
  EXPECT_EQ(clock.TickCount(), 122000U);
  EXPECT_EQ(clock.CalendarSeconds() - start, 122);
  clock.Sleep(0);  // a yield costs no time
  EXPECT_EQ(clock.NowMilliseconds(), 122000U);
}

TEST(VirtualClock, AWorkerRunsOnlyOnceResumedAndReportsItsExitCode) {
  VirtualClock clock;
  std::vector<std::string> trace;
  const platform::ThreadHandle worker = clock.CreateSuspended([&] {
    trace.push_back("worker starts at " + std::to_string(clock.NowMilliseconds()));
    clock.Sleep(5000);
    trace.push_back("worker ends at " + std::to_string(clock.NowMilliseconds()));
    return 7U;
  });
  clock.Sleep(1000);
  EXPECT_TRUE(trace.empty());  // still suspended

  const platform::ThreadHandle watcher = clock.Duplicate(worker);
  ASSERT_NE(watcher, 0U);
  EXPECT_EQ(clock.Resume(worker), 1U);
  std::uint32_t code = 0;
  EXPECT_TRUE(clock.ExitCode(watcher, code));
  EXPECT_EQ(code, platform::kStillActive);
  clock.CloseThread(worker);

  clock.Sleep(3000);  // the worker starts at 1000 and sleeps until 6000
  EXPECT_TRUE(clock.ExitCode(watcher, code));
  EXPECT_EQ(code, platform::kStillActive);
  clock.Sleep(3000);
  EXPECT_TRUE(clock.ExitCode(watcher, code));
  EXPECT_EQ(code, 7U);
  EXPECT_THAT(trace, ElementsAre("worker starts at 1000", "worker ends at 6000"));
  EXPECT_EQ(clock.Resume(worker), platform::kResumeFailed);  // that handle is closed
  EXPECT_EQ(clock.Resume(watcher), 0U);                      // the thread has ended
}

TEST(VirtualClock, ThreadsInterleaveByDeadlineTheSameWayEveryRun) {
  const auto run = [] {
    VirtualClock clock;
    std::vector<std::string> trace;
    std::vector<platform::ThreadHandle> threads;
    for (int n = 0; n < 3; ++n) {
      threads.push_back(clock.CreateSuspended([&, n] {
        for (int step = 0; step < 3; ++step) {
          clock.Sleep(static_cast<std::uint32_t>(1000 * (n + 1)));
          trace.push_back(std::to_string(clock.NowMilliseconds()) + ":" + std::to_string(n));
        }
        return 0U;
      }));
    }
    for (const platform::ThreadHandle thread : threads) {
      clock.Resume(thread);
    }
    clock.FinishThreads();
    return trace;
  };
  const std::vector<std::string> first = run();
  EXPECT_THAT(first, ElementsAre("1000:0", "2000:0", "2000:1", "3000:0", "3000:2", "4000:1",
                                 "6000:1", "6000:2", "9000:2"));
  for (int again = 0; again < 20; ++again) {
    EXPECT_EQ(run(), first);
  }
}

TEST(VirtualClock, AWaitEndsAtTheSignalOrAtItsTimeOut) {
  VirtualClock clock;
  const VirtualClock::EventId done = clock.CreateEvent(false);
  EXPECT_FALSE(clock.WaitEvent(done, 0));
  EXPECT_FALSE(clock.WaitEvent(done, 10000));
  EXPECT_EQ(clock.NowMilliseconds(), 10000U);

  const platform::ThreadHandle completer = clock.CreateSuspended([&] {
    clock.Sleep(2500);
    clock.SignalEvent(done);
    return 0U;
  });
  clock.Resume(completer);
  EXPECT_TRUE(clock.WaitEvent(done, 60000));
  EXPECT_EQ(clock.NowMilliseconds(), 12500U);
  EXPECT_FALSE(clock.WaitEvent(done, 0));  // auto-reset: the wait took the signal
  clock.CloseEvent(done);
}

TEST(VirtualClock, AutoResetReleasesOneWaiterPerSignalAndManualResetReleasesAll) {
  VirtualClock clock;
  const VirtualClock::EventId one = clock.CreateEvent(false);
  const VirtualClock::EventId all = clock.CreateEvent(true);
  int released_by_one = 0;
  int released_by_all = 0;
  std::vector<platform::ThreadHandle> waiters;
  for (int n = 0; n < 3; ++n) {
    waiters.push_back(clock.CreateSuspended([&] {
      if (clock.WaitEvent(one, 1000)) {
        ++released_by_one;
      }
      if (clock.WaitEvent(all, VirtualClock::kInfinite)) {
        ++released_by_all;
      }
      return 0U;
    }));
    clock.Resume(waiters.back());
  }
  clock.Sleep(100);  // every waiter now waits on `one`
  clock.SignalEvent(one);
  clock.Sleep(2000);  // the two others time out
  EXPECT_EQ(released_by_one, 1);
  clock.SignalEvent(all);
  clock.FinishThreads();
  EXPECT_EQ(released_by_all, 3);
  EXPECT_TRUE(clock.WaitEvent(all, 0));  // stays signalled until reset
  clock.ResetEvent(all);
  EXPECT_FALSE(clock.WaitEvent(all, 0));
}

TEST(VirtualClock, EndingTheRunFinishesSleepingThreadsAndDropsThoseNeverResumed) {
  bool never_started_ran = false;
  bool sleeper_finished = false;
  {
    VirtualClock clock;
    clock.CreateSuspended([&] {
      never_started_ran = true;
      return 0U;
    });
    const platform::ThreadHandle sleeper = clock.CreateSuspended([&] {
      clock.Sleep(3'600'000);
      sleeper_finished = true;
      return 0U;
    });
    clock.Resume(sleeper);
  }
  EXPECT_FALSE(never_started_ran);
  EXPECT_TRUE(sleeper_finished);
}

TEST(VirtualClockDeathTest, EveryThreadWaitingForeverIsReportedNotHung) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        VirtualClock clock;
        const VirtualClock::EventId never = clock.CreateEvent(false);
        clock.WaitEvent(never, VirtualClock::kInfinite);
      },
      "every simulated thread waits");
}

}  // namespace
}  // namespace fwu::sim
