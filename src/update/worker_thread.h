#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/threads.h"
#include "update/worker_start_signal.h"

namespace fwu {

// The update worker's thread, from its start to its end, as the main dialog drives it: created
// suspended, its handle duplicated (the dialog keeps the duplicate), resumed, held back by the
// start signal until the dialog has finished starting it, watched by its exit code, and closed.
// The dialog decides what the thread does and when; this class knows how a thread is started
// and watched on the platform.
class WorkerThread {
 public:
  using Work = std::function<std::uint32_t()>;

  // A resume that keeps reporting a suspended thread is given up after this many calls.
  static constexpr int kMaxResumeCalls = 10;

  explicit WorkerThread(platform::Threads& threads);
  // A worker that never got the go ends without doing its work; the duplicate is closed.
  ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // Creates the thread around `work`, duplicates its handle and resumes it: a resume that
  // reports a suspend count above 1 is called again, up to kMaxResumeCalls calls. The thread
  // runs at once but waits for Go before it does its work; without the go it ends with
  // kWorkerFailed. False when the signal, the thread, the duplicate or the resume could not be
  // had; whatever runs of the thread then waits for a decision as well.
  bool Launch(Work work);

  // The start is complete: the worker may do its work. False when it could not be told; it is
  // then told to end instead.
  bool Go();
  // The start failed: the worker ends without doing its work.
  void Withdraw();

  // Reads the exit code anew and returns the last one read: platform::kStillActive until the
  // thread has ended, and while the system cannot tell.
  std::uint32_t PollExitCode();
  // Whether the worker was given the go and has not ended. A worker that cannot be asked is not
  // known to have ended.
  bool StillRunning();

 private:
  bool Resume(platform::ThreadHandle thread);

  platform::Threads& threads_;
  std::shared_ptr<WorkerStartSignal> start_signal_;
  platform::ThreadHandle handle_ = 0;  // the duplicate
  std::uint32_t exit_code_ = platform::kStillActive;
  // The worker has been given the go: from then on nothing may end the dialog before it has
  // ended.
  bool started_ = false;
};

}  // namespace fwu
