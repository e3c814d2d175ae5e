#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/threads.h"

namespace fwu::sim {

// Virtual time for the simulated PC and its threads. Exactly one simulated thread runs at a
// time; it hands on when it waits (a sleep, an event, its end). Time moves only when every
// simulated thread waits, and then jumps to the next deadline. So a 122-second wait costs no
// wall time, and every run produces the same sequence of events.
//
// The thread that constructs the clock is the first simulated thread (the program's user-interface
// thread); every other one is created through CreateSuspended. Calls from other threads are a
// programming error and abort with a message, as does a state in which every thread waits
// without a deadline.
class VirtualClock final : public platform::Clock, public platform::Threads {
 public:
  using EventId = std::uintptr_t;
  static constexpr std::uint32_t kInfinite = 0xFFFFFFFFU;
  // The calendar clock starts at a fixed, arbitrary date so that runs repeat exactly.
  static constexpr std::int64_t kEpochSeconds = 1'100'000'000;

  VirtualClock();
  ~VirtualClock() override;
  VirtualClock(const VirtualClock&) = delete;
  VirtualClock& operator=(const VirtualClock&) = delete;

  std::uint32_t TickCount() override;
  std::int64_t CalendarSeconds() override;
  void Sleep(std::uint32_t milliseconds) override;
  std::uint64_t NowMilliseconds() const;

  platform::ThreadHandle CreateSuspended(Entry entry) override;
  std::uint32_t Resume(platform::ThreadHandle thread) override;
  platform::ThreadHandle Duplicate(platform::ThreadHandle thread) override;
  bool ExitCode(platform::ThreadHandle thread, std::uint32_t& code) override;
  void CloseThread(platform::ThreadHandle thread) override;
  // Signals are manual-reset events.
  platform::SignalHandle CreateSignal() override { return CreateEvent(true); }
  bool GiveSignal(platform::SignalHandle signal) override;
  bool WaitForSignal(platform::SignalHandle signal) override {
    return WaitEvent(signal, kInfinite);
  }
  void CloseSignal(platform::SignalHandle signal) override { CloseEvent(signal); }

  // Events as the kernel has them: auto-reset ones release one waiter per signal, manual-reset
  // ones stay signalled until reset.
  EventId CreateEvent(bool manual_reset, bool initially_signalled = false);
  void SignalEvent(EventId event);
  void ResetEvent(EventId event);
  // True when the event was signalled, false at the time-out (0 only tests, kInfinite never ends).
  bool WaitEvent(EventId event, std::uint32_t timeout_ms);
  void CloseEvent(EventId event);

  // Runs the other simulated threads until each has ended, as the end of a process would wait
  // for its threads; threads never resumed end without running.
  void FinishThreads();

 private:
  enum class State : std::uint8_t {
    kRunnable,
    kRunning,
    kSleeping,
    kWaitingEvent,
    kWaitingExits,
    kSuspended,
    kExited
  };

  struct SimThread {
    int id = 0;
    State state = State::kRunning;
    std::optional<std::uint64_t> deadline;
    EventId waiting_on = 0;
    bool woken_by_event = false;
    std::uint32_t suspend_count = 0;
    std::uint32_t exit_code = platform::kStillActive;
    bool skip_entry = false;
    Entry entry;
    std::thread thread;
  };

  struct Event {
    bool manual_reset = false;
    bool signalled = false;
  };

  SimThread& Current();
  SimThread* ThreadOf(platform::ThreadHandle handle);
  void Block(std::unique_lock<std::mutex>& lock, SimThread& self);
  void HandOff();
  void MakeRunnable(SimThread& thread);
  void ThreadMain(SimThread* self);
  [[noreturn]] void Deadlock() const;

  mutable std::mutex mutex_;
  std::condition_variable baton_;
  std::vector<std::unique_ptr<SimThread>> threads_;
  std::map<std::thread::id, SimThread*> by_system_id_;
  std::deque<SimThread*> runnable_;
  int running_ = 0;
  std::uint64_t now_ms_ = 0;
  std::map<EventId, Event> events_;
  EventId next_event_ = 0x10;
  std::map<platform::ThreadHandle, SimThread*> handles_;
  platform::ThreadHandle next_handle_ = 0x1000;
};

}  // namespace fwu::sim
