#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/threads.h"

namespace fwu::portable {

// Time, waits and threads as they really pass, on the standard library alone: sleeps sleep,
// threads are system threads. The Linux program runs on it, and so does a simulated PC that is
// to take as long as a real one. A test build may divide every wait so that an update takes
// seconds instead of minutes; what ships waits in full (divisor 1).
class StdClock final : public platform::Clock, public platform::Threads {
 public:
  explicit StdClock(std::uint32_t wait_divisor = 1);
  // Threads never resumed end without running; the others are waited for.
  ~StdClock() override;
  StdClock(const StdClock&) = delete;
  StdClock& operator=(const StdClock&) = delete;

  std::uint32_t TickCount() override;
  std::int64_t CalendarSeconds() override;
  void Sleep(std::uint32_t milliseconds) override;

  platform::ThreadHandle CreateSuspended(Entry entry) override;
  std::uint32_t Resume(platform::ThreadHandle thread) override;
  platform::ThreadHandle Duplicate(platform::ThreadHandle thread) override;
  bool ExitCode(platform::ThreadHandle thread, std::uint32_t& code) override;
  void CloseThread(platform::ThreadHandle thread) override;

  platform::SignalHandle CreateSignal() override;
  bool GiveSignal(platform::SignalHandle signal) override;
  bool WaitForSignal(platform::SignalHandle signal) override;
  void CloseSignal(platform::SignalHandle signal) override;

  // Waits for every thread that was let run; the ones never resumed end without running, with
  // exit code 0. Threads created afterwards run as before.
  void FinishThreads();

 private:
  struct Thread {
    Entry entry;
    std::uint32_t suspend_count = 1;
    bool cancelled = false;
    std::uint32_t exit_code = platform::kStillActive;
    std::thread thread;
  };

  void Run(Thread& self);
  std::shared_ptr<Thread> Find(platform::ThreadHandle handle);

  const std::uint32_t wait_divisor_;
  const std::chrono::steady_clock::time_point start_;
  std::mutex mutex_;
  std::condition_variable resumed_;
  std::condition_variable signalled_;
  std::vector<std::shared_ptr<Thread>> threads_;
  std::map<platform::ThreadHandle, std::shared_ptr<Thread>> handles_;
  // Signals by handle: whether each has been given.
  std::map<platform::SignalHandle, bool> signals_;
  platform::ThreadHandle next_handle_ = 0x1000;
};

}  // namespace fwu::portable
