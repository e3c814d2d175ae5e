#include "update/worker_start_signal.h"

namespace fwu {

std::shared_ptr<WorkerStartSignal> WorkerStartSignal::Create(platform::Threads& threads) {
  const platform::SignalHandle signal = threads.CreateSignal();
  if (signal == 0) {
    return nullptr;
  }
  return std::make_shared<WorkerStartSignal>(threads, signal);
}

WorkerStartSignal::WorkerStartSignal(platform::Threads& threads, platform::SignalHandle signal)
    : threads_(threads), signal_(signal) {}

WorkerStartSignal::~WorkerStartSignal() {
  threads_.CloseSignal(signal_);
}

bool WorkerStartSignal::Go() {
  std::uint8_t undecided = kUndecided;
  if (!decision_.compare_exchange_strong(undecided, kGo)) {
    return decision_.load() == kGo;
  }
  if (threads_.GiveSignal(signal_)) {
    return true;
  }
  // The worker has not been told; it must not go on if a later signal wakes it.
  decision_.store(kWithdrawn);
  threads_.GiveSignal(signal_);
  return false;
}

void WorkerStartSignal::Withdraw() {
  std::uint8_t undecided = kUndecided;
  if (decision_.compare_exchange_strong(undecided, kWithdrawn)) {
    threads_.GiveSignal(signal_);
  }
}

bool WorkerStartSignal::WaitForGo() {
  return threads_.WaitForSignal(signal_) && decision_.load() == kGo;
}

}  // namespace fwu
