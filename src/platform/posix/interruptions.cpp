#include "platform/posix/interruptions.h"

#include <array>
#include <ctime>

#include <pthread.h>
#include <signal.h>

namespace fwu::posix {
namespace {

struct SignalName {
  int number;
  const char* name;
};

constexpr std::array<SignalName, 3> kDeferred{{
    {SIGINT, "SIGINT"},
    {SIGTERM, "SIGTERM"},
    {SIGHUP, "SIGHUP"},
}};

}  // namespace

struct SignalInterruptions::Masks {
  sigset_t deferred{};
  sigset_t previous{};
};

SignalInterruptions::SignalInterruptions() : masks_(std::make_unique<Masks>()) {
  sigemptyset(&masks_->deferred);
  for (const SignalName& signal : kDeferred) {
    sigaddset(&masks_->deferred, signal.number);
  }
}

SignalInterruptions::~SignalInterruptions() {
  Resume();
}

void SignalInterruptions::Defer() {
  if (!deferring_) {
    pthread_sigmask(SIG_BLOCK, &masks_->deferred, &masks_->previous);
    deferring_ = true;
  }
}

std::optional<std::string> SignalInterruptions::Wait(std::uint32_t timeout_ms) {
  const timespec timeout{.tv_sec = static_cast<time_t>(timeout_ms / 1000U),
                         .tv_nsec = static_cast<long>(timeout_ms % 1000U) * 1000000L};
  // A time-out, or another signal's handler running, counts as no interruption.
  const int number = sigtimedwait(&masks_->deferred, nullptr, &timeout);
  for (const SignalName& signal : kDeferred) {
    if (signal.number == number) {
      return signal.name;
    }
  }
  return std::nullopt;
}

void SignalInterruptions::Resume() {
  if (!deferring_) {
    return;
  }
  while (Wait(0)) {
  }
  pthread_sigmask(SIG_SETMASK, &masks_->previous, nullptr);
  deferring_ = false;
}

}  // namespace fwu::posix
