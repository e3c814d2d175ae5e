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

namespace fwu::sim {

// Time and threads as they really pass, for a simulated PC that is to take as long as a real
// one: sleeps sleep, threads are system threads. Used where the program's own cost next to its
// waits is to be seen; everything else runs on the VirtualClock.
class RealTimeClock final : public platform::Clock, public platform::Threads {
 public:
  RealTimeClock();
  // Threads never resumed end without running; the others are waited for.
  ~RealTimeClock() override;
  RealTimeClock(const RealTimeClock&) = delete;
  RealTimeClock& operator=(const RealTimeClock&) = delete;

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

  // Waits for every thread that was let run; the ones never resumed end without running.
  void FinishThreads();

  // Total time the program asked to sleep, on every thread.
  std::chrono::milliseconds SleptFor() const;

 private:
  struct SystemThread {
    Entry entry;
    std::uint32_t suspend_count = 1;
    bool cancelled = false;
    std::uint32_t exit_code = platform::kStillActive;
    std::thread thread;
  };

  void ThreadMain(SystemThread* self);
  std::shared_ptr<SystemThread> Find(platform::ThreadHandle handle);

  const std::chrono::steady_clock::time_point start_;
  mutable std::mutex mutex_;
  std::condition_variable resumed_;
  std::vector<std::shared_ptr<SystemThread>> threads_;
  std::map<platform::ThreadHandle, std::shared_ptr<SystemThread>> handles_;
  // Signals by handle: whether each has been given.
  std::map<platform::SignalHandle, bool> signals_;
  std::condition_variable signalled_;
  platform::ThreadHandle next_handle_ = 0x1000;
  std::chrono::milliseconds slept_{0};
};

}  // namespace fwu::sim
