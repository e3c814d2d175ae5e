#pragma once

#include <cstdint>
#include <mutex>
#include <ostream>
#include <string>

#include "platform/clock.h"
#include "update/update_worker.h"

namespace fwu::linux_program {

// Follows the worker's steps (on the worker's thread) and tells the user's thread how far the
// download has come and how long it still takes: the fixed waits still ahead, and the drive's
// time for the commands still to send, estimated until the blocks show what it really is.
class DownloadProgress final : public WorkerObserver {
 public:
  struct Estimate {
    double fraction = 0.0;  // 0..1
    std::uint32_t remaining_ms = 0;
  };

  DownloadProgress(platform::Clock& clock, std::uint32_t wait_divisor, std::uint32_t block_count);

  void OnStep(WorkerStep step, std::uint32_t block) override;

  Estimate Now();
  // The first download step has gone out: a failure from here on may leave the drive in the
  // middle of a download.
  bool DownloadBegun();
  WorkerStep LastStep();
  std::uint32_t LastBlock();

 private:
  std::uint32_t PlannedMs(WorkerStep step) const;
  std::uint32_t RemainingAfter(WorkerStep step, std::uint32_t block) const;

  platform::Clock& clock_;
  const std::uint32_t wait_divisor_;
  const std::uint32_t block_count_;
  std::mutex mutex_;
  bool started_ = false;
  std::uint32_t start_ms_ = 0;
  WorkerStep step_ = WorkerStep::kEjecting;
  std::uint32_t block_ = 0;
  std::uint32_t step_start_ms_ = 0;
  std::uint32_t first_block_start_ms_ = 0;
  std::uint32_t block_ms_;  // the drive's time for one block, measured once blocks have gone
};

// "[#########-----------]  45%  about 1:10 left", width characters between the brackets.
std::string ProgressLine(const DownloadProgress::Estimate& estimate, int width);

// Shows the progress: redrawn in place on a terminal, one line per tenth in a log or a pipe.
class ProgressDisplay {
 public:
  static constexpr int kBarWidth = 40;

  ProgressDisplay(std::ostream& out, bool redraw_in_place) : out_(out), redraw_(redraw_in_place) {}

  void Show(const DownloadProgress::Estimate& estimate);
  // Ends a line redrawn in place, so that a message can follow.
  void BreakLine();
  // The last line: full on success, as it stands otherwise.
  void Finish(bool completed);

 private:
  std::ostream& out_;
  bool redraw_;
  bool line_open_ = false;
  int tenths_shown_ = -1;
  DownloadProgress::Estimate last_{};
};

}  // namespace fwu::linux_program
