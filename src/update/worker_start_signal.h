#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/threads.h"

namespace fwu {

// Holds the update worker back until the dialog has finished starting it. Starting can still
// fail after the thread runs (its timer, a resume that reports too late); a start failure must
// then be true, so the worker sends nothing until the dialog gives the go, and ends without
// touching the drive when the go is withdrawn. Shared by the dialog and the worker, so that
// either may be gone first.
class WorkerStartSignal {
 public:
  // Null when the system has no signal to give.
  static std::shared_ptr<WorkerStartSignal> Create(platform::Threads& threads);

  WorkerStartSignal(platform::Threads& threads, platform::SignalHandle signal);
  ~WorkerStartSignal();
  WorkerStartSignal(const WorkerStartSignal&) = delete;
  WorkerStartSignal& operator=(const WorkerStartSignal&) = delete;

  // The dialog's side: one decision, which the worker waits for. False when the worker could
  // not be told to go on; it is then told to end instead.
  bool Go();
  void Withdraw();
  bool Decided() const { return decision_.load() != kUndecided; }

  // The worker's side: true once the dialog has given the go; false when the start was
  // withdrawn or the signal could not be waited for.
  bool WaitForGo();

 private:
  static constexpr std::uint8_t kUndecided = 0;
  static constexpr std::uint8_t kGo = 1;
  static constexpr std::uint8_t kWithdrawn = 2;

  void Decide(std::uint8_t decision);

  platform::Threads& threads_;
  platform::SignalHandle signal_;
  std::atomic<std::uint8_t> decision_{kUndecided};
};

}  // namespace fwu
