// Every system call of the whole cycle that can fail fails in turn, once, where the program
// makes it: the registry, threads and their start signal, timers, dialogs, the ASPI library,
// its memory and events, the storage devices and the kernel's services (version, power, mutex,
// screen saver, the program's path, the restart). The cycle is that of a PC whose settings need
// a change: preparation and restart, update, restore and restart, and the start that finds
// nothing more to do. After the failure the user goes on starting the program as long as it
// has something to do. Whatever failed:
// - no original setting is lost: the later starts give every one back;
// - no setting is changed, and Windows is not restarted, without the user's OK on the notice
//   that announces it;
// - "Update Complete." comes only with the whole image in the drive, and "Update Failed."
//   only while the drive keeps its old firmware;
// - the program's own thread never sleeps while an update worker runs, and nothing crashes.
#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include <execinfo.h>
#include <gtest/gtest.h>

#include "app/run_outcome.h"
#include "platform/sim/system_call_faults.h"
#include "resources/dialog_ids.h"
#include "support/simulated_pcs.h"
#include "support/update_cycle.h"

namespace fwu {
namespace {

constexpr int kMostStarts = 6;
constexpr int kCallChainDepth = 32;
constexpr const char* kUpdateFailed = "Update Failed.";

// The notices whose OK lets the program change settings or restart Windows.
bool AnnouncesChangeOrRestart(int template_id) {
  return template_id == ids::kRebootNotice || template_id == ids::kRebootNoticeJapanese ||
         template_id == ids::kEndNotice || template_id == ids::kEndNoticeJapanese ||
         template_id == ids::kCancelNotice || template_id == ids::kCancelNoticeJapanese;
}

// One PC through its starts, judged as it goes.
class WatchedCycle {
 public:
  explicit WatchedCycle(const char* windows)
      : pc_(test::CycleMachine(windows)),
        original_settings_(test::DeviceSettings(*pc_)),
        original_values_(test::DeviceSettingValues(*pc_)),
        values_(original_values_) {
    pc_->SetRegistryWriteObserver([this] { JudgeSettings(); });
  }

  sim::SimulatedPc& Pc() { return *pc_; }
  // The start under way, from 0.
  int Start() const { return start_; }

  // Starts the program, after a restart each time, until it finds the firmware up to date;
  // returns the last start.
  test::StartRecord Run() {
    test::StartRecord last;
    for (int start = 0; start < kMostStarts && !test::FoundUpToDate(last); ++start) {
      start_ = start;
      pc_->Restart();
      told_ = false;
      terms_refused_ = false;
      last = test::StartAgreeing(*pc_, [this](test::AutoUserHost& user) { Prepare(user); });
      JudgeStart(last);
    }
    return last;
  }

  void ExpectFinished(const test::StartRecord& last) const {
    test::ExpectCycleFinished(*pc_, last, original_settings_);
  }

 private:
  void Prepare(test::AutoUserHost& user) {
    user.SetFaults(&pc_->faults);
    user.OnOpen([this](int template_id) {
      if (template_id == ids::kEndNotice || template_id == ids::kEndNoticeJapanese) {
        EXPECT_EQ(pc_->Drive(0).Revision(), "1033") << "success reported for an unfinished update";
      }
    });
    user.OnEnd([this](int template_id, int result) {
      if (template_id == ids::kAgreementDialog && result != ids::kAgree) {
        terms_refused_ = true;
      }
      if (AnnouncesChangeOrRestart(template_id) && result == ids::kOk && !terms_refused_) {
        told_ = true;
      }
    });
  }

  // A value may go back to what it was before the first start at any time; anything else
  // needs the user's OK in this start.
  void JudgeSettings() {
    std::map<std::string, sim::StoredValue> now = test::DeviceSettingValues(*pc_);
    const auto at = [](const std::map<std::string, sim::StoredValue>& values,
                       const std::string& key) -> std::optional<sim::StoredValue> {
      const auto found = values.find(key);
      return found == values.end() ? std::nullopt : std::optional(found->second);
    };
    std::vector<std::string> keys;
    for (const auto& [key, value] : values_) {
      keys.push_back(key);
    }
    for (const auto& [key, value] : now) {
      keys.push_back(key);
    }
    for (const std::string& key : keys) {
      const std::optional<sim::StoredValue> after = at(now, key);
      if (after != at(values_, key) && after != at(original_values_, key)) {
        EXPECT_TRUE(told_) << key << " changed without the user's OK";
      }
    }
    values_ = std::move(now);
  }

  void JudgeStart(const test::StartRecord& start) {
    if (pc_->system.exit_request) {
      EXPECT_TRUE(told_) << "Windows restarted without the user's OK";
    }
    if (std::find(start.messages.begin(), start.messages.end(), kUpdateFailed) !=
        start.messages.end()) {
      EXPECT_EQ(pc_->Drive(0).Revision(), "1029")
          << "\"Update Failed.\" for a drive that was updated";
    }
    EXPECT_EQ(pc_->ProgramThreadSleepsDuringWorker(), 0)
        << "the dialogs' thread slept while the worker ran";
  }

  std::unique_ptr<sim::SimulatedPc> pc_;
  std::string original_settings_;
  std::map<std::string, sim::StoredValue> original_values_;
  std::map<std::string, sim::StoredValue> values_;
  // In the start under way: the user has confirmed a notice that announces a change of the
  // settings or a restart, and has not refused the terms (or could not see them).
  bool told_ = false;
  bool terms_refused_ = false;
  int start_ = 0;
};

// Where a call is made: the chain of calls that led to it, as return addresses.
std::vector<void*> CallChain() {
  std::array<void*, kCallChainDepth> frames{};
  const int depth = backtrace(frames.data(), kCallChainDepth);
  return {frames.begin(), frames.begin() + std::max(depth, 0)};
}

// The points of a clean cycle: each place where a call that can fail is made, in each start,
// as the number of its first call. Repeats of a call at the same place (a loop over records,
// every tick of a timer) make one point.
std::vector<std::size_t> PointsOf(const char* windows, std::vector<sim::SystemCall>& calls) {
  WatchedCycle clean(windows);
  std::set<std::tuple<int, sim::SystemCall, std::vector<void*>>> places;
  std::vector<std::size_t> points;
  clean.Pc().faults.SetObserver([&](std::size_t number, sim::SystemCall call) {
    if (places.emplace(clean.Start(), call, CallChain()).second) {
      points.push_back(number);
    }
  });
  const test::StartRecord last = clean.Run();
  clean.ExpectFinished(last);
  clean.Pc().faults.SetObserver({});
  calls = clean.Pc().faults.Calls();
  return points;
}

class SystemCallSweepTest : public ::testing::TestWithParam<const char*> {};

TEST_P(SystemCallSweepTest, EachFailingCallOfTheWholeCycleEndsSafely) {
  const auto wall_start = std::chrono::steady_clock::now();
  std::vector<sim::SystemCall> calls;
  const std::vector<std::size_t> points = PointsOf(GetParam(), calls);
  std::map<sim::SystemCall, std::size_t> by_kind;
  for (const std::size_t point : points) {
    ++by_kind[calls[point]];
  }
  std::cout << "[          ] " << GetParam() << ": " << points.size() << " points of "
            << calls.size() << " calls that can fail, each failed once:";
  for (const auto& [call, count] : by_kind) {
    std::cout << ' ' << sim::NameOf(call) << ' ' << count << ',';
  }
  std::cout << '\n';

  for (const std::size_t point : points) {
    SCOPED_TRACE("call " + std::to_string(point + 1) + " of " + std::to_string(calls.size()) +
                 " (" + std::string(sim::NameOf(calls[point])) + ") fails");
    WatchedCycle cycle(GetParam());
    cycle.Pc().faults.FailNth(point + 1);
    const test::StartRecord last = cycle.Run();
    ASSERT_EQ(cycle.Pc().faults.Failed().size(), 1U);
    cycle.ExpectFinished(last);
  }
  std::cout << "[          ] " << GetParam() << ": swept in "
            << std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - wall_start)
                   .count()
            << " ms\n";
}

INSTANTIATE_TEST_SUITE_P(Systems, SystemCallSweepTest, ::testing::Values("xp", "98se"),
                         [](const ::testing::TestParamInfo<const char*>& param) {
                           return std::string(param.param);
                         });

}  // namespace
}  // namespace fwu
