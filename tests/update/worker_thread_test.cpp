// The update worker's thread on its own, without a dialog: when its work runs, what starting it
// takes of the system, and what its exit code tells.
#include "update/worker_thread.h"

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/sim/virtual_clock.h"
#include "support/thread_decorators.h"
#include "update/update_worker.h"

namespace fwu {
namespace {

constexpr std::uint32_t kWorkDone = 7;

class WorkerThreadTest : public testing::Test {
 protected:
  // Work that takes half a second of the clock and counts its runs.
  WorkerThread::Work Work() {
    return [this] {
      clock_.Sleep(500);
      ++runs_;
      return kWorkDone;
    };
  }

  sim::VirtualClock clock_;
  test::MisbehavingThreads threads_{clock_};
  std::atomic<int> runs_{0};
};

TEST_F(WorkerThreadTest, TheWorkRunsOnlyAfterTheGoAndItsExitCodeTellsTheEnd) {
  WorkerThread worker(threads_);
  ASSERT_TRUE(worker.Launch(Work()));
  clock_.Sleep(2000);  // the thread runs, and waits for the go
  EXPECT_EQ(runs_, 0);
  EXPECT_EQ(worker.PollExitCode(), platform::kStillActive);
  EXPECT_FALSE(worker.StillRunning()) << "no go given: nothing a CANCEL must wait for";

  ASSERT_TRUE(worker.Go());
  EXPECT_TRUE(worker.StillRunning());
  EXPECT_EQ(worker.PollExitCode(), platform::kStillActive);
  clock_.Sleep(2000);
  EXPECT_EQ(runs_, 1);
  EXPECT_EQ(worker.PollExitCode(), kWorkDone);
  EXPECT_FALSE(worker.StillRunning());
}

// A start that fails after the thread runs must stay a failure: the work never runs, whether
// the start is withdrawn or the dialog goes without a decision.
TEST_F(WorkerThreadTest, WithoutTheGoTheThreadEndsWithoutItsWork) {
  {
    WorkerThread withdrawn(threads_);
    ASSERT_TRUE(withdrawn.Launch(Work()));
    withdrawn.Withdraw();
    clock_.Sleep(2000);
    EXPECT_EQ(withdrawn.PollExitCode(), kWorkerFailed);
    EXPECT_FALSE(withdrawn.Go()) << "a withdrawn start stays withdrawn";
    WorkerThread forgotten(threads_);
    ASSERT_TRUE(forgotten.Launch(Work()));
  }
  clock_.FinishThreads();
  EXPECT_EQ(runs_, 0);
}

// Resume reports the suspend count before the call; only a count of at most 1 leaves the
// thread running. The tenth call is the last one tried.
TEST_F(WorkerThreadTest, AResumeIsRepeatedWhileTheThreadStaysSuspendedUpToTenCalls) {
  struct Case {
    std::string what;
    std::vector<std::uint32_t> reports;
    bool launched;
    int calls;
  };
  const std::vector<std::uint32_t> nine_twos(9, 2);
  std::vector<std::uint32_t> tenth_lets_run = nine_twos;
  tenth_lets_run.push_back(1);
  std::vector<std::uint32_t> eleventh_lets_run = tenth_lets_run;
  eleventh_lets_run.insert(eleventh_lets_run.begin(), 2);
  const std::vector<Case> cases = {
      {"runs at once", {0}, true, 1},
      {"two, then one", {2, 1}, true, 2},
      {"the tenth call lets it run", tenth_lets_run, true, 10},
      {"the eleventh call is one too many", eleventh_lets_run, false, 11},
      {"resume fails", {platform::kResumeFailed}, false, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim::VirtualClock clock;
    test::MisbehavingThreads threads(clock);
    threads.ScriptResumes(c.reports);
    std::atomic<bool> worked{false};
    {
      WorkerThread worker(threads);
      EXPECT_EQ(worker.Launch([&] {
        worked = true;
        return kWorkDone;
      }),
                c.launched);
      EXPECT_EQ(threads.ResumeCalls(), c.calls);
      if (c.launched) {
        EXPECT_TRUE(worker.Go());
      }
    }
    clock.FinishThreads();
    EXPECT_EQ(worked, c.launched);
  }
}

TEST_F(WorkerThreadTest, WithoutSignalThreadOrDuplicateNothingIsLaunched) {
  const std::vector<std::function<void(test::MisbehavingThreads&)>> failures = {
      [](test::MisbehavingThreads& t) { t.FailSignals(); },
      [](test::MisbehavingThreads& t) { t.FailCreation(); },
      [](test::MisbehavingThreads& t) { t.FailDuplicate(); },
  };
  for (const auto& fail : failures) {
    sim::VirtualClock clock;
    test::MisbehavingThreads threads(clock);
    fail(threads);
    {
      WorkerThread worker(threads);
      EXPECT_FALSE(worker.Launch(Work()));
      EXPECT_EQ(threads.ResumeCalls(), 0);
      EXPECT_FALSE(worker.StillRunning());
    }
    clock.FinishThreads();
  }
  EXPECT_EQ(runs_, 0);
}

// CANCEL waits while the worker may still write the drive: one whose end cannot be read has
// not ended as far as anyone knows.
TEST_F(WorkerThreadTest, AWorkerWhoseExitCodeCannotBeReadCountsAsRunning) {
  WorkerThread worker(threads_);
  ASSERT_TRUE(worker.Launch(Work()));
  ASSERT_TRUE(worker.Go());
  clock_.Sleep(2000);
  ASSERT_EQ(runs_, 1);
  threads_.FailExitCodes();
  EXPECT_TRUE(worker.StillRunning());
  EXPECT_EQ(worker.PollExitCode(), platform::kStillActive);
}

}  // namespace
}  // namespace fwu
