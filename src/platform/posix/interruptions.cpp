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

// Asked for by the user or the system; each is answered.
constexpr std::array<SignalName, 4> kAnswered{{
    {SIGINT, "SIGINT"},
    {SIGTERM, "SIGTERM"},
    {SIGHUP, "SIGHUP"},
    {SIGQUIT, "SIGQUIT"},
}};

// Held back without a word: a pipe whose reader has gone (a "| tee" ended by the same Ctrl-C)
// and the terminal's stop key would otherwise end or halt the program between two blocks.
constexpr std::array<int, 2> kHeldBack{SIGPIPE, SIGTSTP};

}  // namespace

struct SignalInterruptions::Masks {
  sigset_t answered{};
  sigset_t deferred{};  // the answered ones and the held-back ones
  sigset_t previous{};
};

SignalInterruptions::SignalInterruptions() : masks_(std::make_unique<Masks>()) {
  sigemptyset(&masks_->answered);
  for (const SignalName& signal : kAnswered) {
    sigaddset(&masks_->answered, signal.number);
  }
  masks_->deferred = masks_->answered;
  for (const int signal : kHeldBack) {
    sigaddset(&masks_->deferred, signal);
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
  const int number = sigtimedwait(&masks_->answered, nullptr, &timeout);
  for (const SignalName& signal : kAnswered) {
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
  const timespec now{};
  while (sigtimedwait(&masks_->deferred, nullptr, &now) > 0) {
  }
  pthread_sigmask(SIG_SETMASK, &masks_->previous, nullptr);
  deferring_ = false;
}

}  // namespace fwu::posix
