#include "update/worker_thread.h"

#include <utility>

#include "update/update_worker.h"

namespace fwu {

WorkerThread::WorkerThread(platform::Threads& threads) : threads_(threads) {}

WorkerThread::~WorkerThread() {
  if (start_signal_) {
    start_signal_->Withdraw();
  }
  if (handle_ != 0) {
    threads_.CloseThread(handle_);
  }
}

bool WorkerThread::Launch(Work work) {
  start_signal_ = WorkerStartSignal::Create(threads_);
  if (!start_signal_) {
    return false;
  }
  const platform::ThreadHandle thread =
      threads_.CreateSuspended([work = std::move(work), start = start_signal_] {
        return start->WaitForGo() ? work() : kWorkerFailed;
      });
  if (thread == 0) {
    return false;
  }
  exit_code_ = platform::kStillActive;
  handle_ = threads_.Duplicate(thread);
  const bool launched = handle_ != 0 && Resume(thread);
  // The duplicate is the one kept; the creating handle is not needed once the thread runs.
  threads_.CloseThread(thread);
  return launched;
}

bool WorkerThread::Resume(platform::ThreadHandle thread) {
  for (int calls = 1;; ++calls) {
    const std::uint32_t previous = threads_.Resume(thread);
    if (previous == platform::kResumeFailed || calls > kMaxResumeCalls) {
      return false;
    }
    if (previous <= 1) {
      return true;
    }
  }
}

bool WorkerThread::Go() {
  if (!start_signal_ || !start_signal_->Go()) {
    return false;
  }
  started_ = true;
  return true;
}

void WorkerThread::Withdraw() {
  if (start_signal_) {
    start_signal_->Withdraw();
  }
}

std::uint32_t WorkerThread::PollExitCode() {
  threads_.ExitCode(handle_, exit_code_);
  return exit_code_;
}

bool WorkerThread::StillRunning() {
  if (!started_ || handle_ == 0) {
    return false;
  }
  std::uint32_t code = platform::kStillActive;
  return !threads_.ExitCode(handle_, code) || code == platform::kStillActive;
}

}  // namespace fwu
