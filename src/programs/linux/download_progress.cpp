#include "programs/linux/download_progress.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>

#include "resources/format.h"

namespace fwu::linux_program {
namespace {

// What the drive takes for the commands, before any has been measured: the eject, a control
// step, a data block, the closing step (the drive writes its flash memory then).
constexpr std::uint32_t kEjectMs = 2000;
constexpr std::uint32_t kControlStepMs = 100;
constexpr std::uint32_t kBlockMs = 500;
constexpr std::uint32_t kClosingStepMs = 6000;

constexpr std::array<WorkerStep, 8> kOrder{
    WorkerStep::kEjecting,          WorkerStep::kSettling,
    WorkerStep::kFirstControlStep,  WorkerStep::kBetweenControlSteps,
    WorkerStep::kSecondControlStep, WorkerStep::kSendingBlock,
    WorkerStep::kClosingStep,       WorkerStep::kAfterClosingStep,
};

}  // namespace

DownloadProgress::DownloadProgress(platform::Clock& clock, std::uint32_t wait_divisor,
                                   std::uint32_t block_count)
    : clock_(clock),
      wait_divisor_(wait_divisor == 0 ? 1 : wait_divisor),
      block_count_(block_count),
      block_ms_(kBlockMs) {}

std::uint32_t DownloadProgress::PlannedMs(WorkerStep step) const {
  switch (step) {
    case WorkerStep::kEjecting:
      return kEjectMs;
    case WorkerStep::kSettling:
      return std::accumulate(worker_waits::kSettleMs.begin(), worker_waits::kSettleMs.end(), 0U) /
             wait_divisor_;
    case WorkerStep::kFirstControlStep:
    case WorkerStep::kSecondControlStep:
      return kControlStepMs;
    case WorkerStep::kBetweenControlSteps:
      return worker_waits::kBetweenControlStepsMs / wait_divisor_;
    case WorkerStep::kSendingBlock:
      return block_ms_;
    case WorkerStep::kClosingStep:
      return kClosingStepMs;
    case WorkerStep::kAfterClosingStep:
      return worker_waits::kAfterClosingStepMs / wait_divisor_;
  }
  return 0;
}

// The planned time of every step after the given one (and of the blocks after `block`).
std::uint32_t DownloadProgress::RemainingAfter(WorkerStep step, std::uint32_t block) const {
  std::uint32_t remaining = 0;
  const auto* position = std::find(kOrder.begin(), kOrder.end(), step);
  if (step == WorkerStep::kSendingBlock) {
    remaining += (block_count_ - std::min(block, block_count_)) * block_ms_;
  }
  for (const auto* later = position + 1; later < kOrder.end(); ++later) {
    remaining += *later == WorkerStep::kSendingBlock ? block_count_ * block_ms_ : PlannedMs(*later);
  }
  return remaining;
}

void DownloadProgress::OnStep(WorkerStep step, std::uint32_t block) {
  const std::uint32_t now = clock_.TickCount();
  const std::lock_guard lock(mutex_);
  if (!started_) {
    started_ = true;
    start_ms_ = now;
  }
  // The blocks sent so far tell the drive's time for the ones still to come.
  if (step == WorkerStep::kSendingBlock) {
    if (block <= 1) {
      first_block_start_ms_ = now;
    } else {
      block_ms_ = std::max<std::uint32_t>(1, (now - first_block_start_ms_) / (block - 1));
    }
  }
  step_ = step;
  block_ = block;
  step_start_ms_ = now;
}

DownloadProgress::Estimate DownloadProgress::Now() {
  const std::uint32_t now = clock_.TickCount();
  const std::lock_guard lock(mutex_);
  if (!started_) {
    return Estimate{0.0,
                    PlannedMs(WorkerStep::kEjecting) + RemainingAfter(WorkerStep::kEjecting, 0)};
  }
  const std::uint32_t in_step = now - step_start_ms_;
  const std::uint32_t planned = PlannedMs(step_);
  const std::uint32_t remaining =
      (planned > in_step ? planned - in_step : 0) + RemainingAfter(step_, block_);
  const double elapsed = now - start_ms_;
  return Estimate{elapsed / (elapsed + remaining), remaining};
}

bool DownloadProgress::DownloadBegun() {
  const std::lock_guard lock(mutex_);
  return started_ && std::find(kOrder.begin(), kOrder.end(), step_) >=
                         std::find(kOrder.begin(), kOrder.end(), WorkerStep::kFirstControlStep);
}

WorkerStep DownloadProgress::LastStep() {
  const std::lock_guard lock(mutex_);
  return step_;
}

std::uint32_t DownloadProgress::LastBlock() {
  const std::lock_guard lock(mutex_);
  return block_;
}

std::string ProgressLine(const DownloadProgress::Estimate& estimate, int width) {
  const double fraction = std::clamp(estimate.fraction, 0.0, 1.0);
  const auto filled = static_cast<std::size_t>(std::lround(fraction * width));
  const std::uint32_t seconds = (estimate.remaining_ms + 999U) / 1000U;
  std::string line(1, '[');
  line.append(filled, '#');
  line.append(static_cast<std::size_t>(width) - filled, '-');
  line.append("] ");
  line.append(FormatText("%3d%%  about %u:%02u left", static_cast<int>(std::lround(fraction * 100)),
                         seconds / 60U, seconds % 60U));
  return line;
}

void ProgressDisplay::Show(const DownloadProgress::Estimate& estimate) {
  last_ = estimate;
  if (redraw_) {
    out_ << '\r' << ProgressLine(estimate, kBarWidth) << std::flush;
    line_open_ = true;
    return;
  }
  const int tenths = static_cast<int>(std::clamp(estimate.fraction, 0.0, 1.0) * 10);
  if (tenths > tenths_shown_) {
    tenths_shown_ = tenths;
    out_ << ProgressLine(estimate, kBarWidth) << std::endl;
  }
}

void ProgressDisplay::BreakLine() {
  if (line_open_) {
    out_ << '\n';
    line_open_ = false;
  }
}

void ProgressDisplay::Finish(bool completed) {
  if (completed) {
    Show(DownloadProgress::Estimate{1.0, 0});
  }
  BreakLine();
  out_ << std::flush;
}

}  // namespace fwu::linux_program
