#include "platform/sim/system_call_faults.h"

#include <algorithm>
#include <array>
#include <utility>

namespace fwu::sim {

std::string_view NameOf(SystemCall call) {
  static constexpr std::array<std::string_view, 27> kNames{
      "registry open",
      "registry read",
      "registry write",
      "registry delete",
      "thread create",
      "thread resume",
      "thread duplicate",
      "thread exit code",
      "signal create",
      "signal give",
      "signal wait",
      "dialog",
      "timer",
      "library load",
      "entry point",
      "locked memory",
      "completion event",
      "device open",
      "I/O control",
      "version",
      "power status",
      "mutex",
      "screen saver",
      "current directory",
      "program path",
      "privilege",
      "exit Windows",
  };
  const auto index = static_cast<std::size_t>(call);
  return index < kNames.size() ? kNames[index] : "?";
}

bool SystemCallFaults::Fails(SystemCall call) {
  std::unique_lock lock(mutex_);
  const std::size_t index = calls_.size();
  calls_.push_back(call);
  if (observer_) {
    const auto observer = observer_;
    lock.unlock();
    observer(index, call);
    lock.lock();
  }
  const bool fails =
      failing_call_ == index ||
      std::find(failing_kinds_.begin(), failing_kinds_.end(), call) != failing_kinds_.end();
  if (fails) {
    failed_.push_back(call);
  }
  return fails;
}

void SystemCallFaults::SetObserver(std::function<void(std::size_t, SystemCall)> observer) {
  const std::lock_guard lock(mutex_);
  observer_ = std::move(observer);
}

void SystemCallFaults::FailNth(std::size_t n) {
  const std::lock_guard lock(mutex_);
  failing_call_ = n == 0 ? std::nullopt : std::optional<std::size_t>(calls_.size() + n - 1);
}

void SystemCallFaults::FailEvery(SystemCall call) {
  const std::lock_guard lock(mutex_);
  failing_kinds_.push_back(call);
}

void SystemCallFaults::Clear() {
  const std::lock_guard lock(mutex_);
  failing_call_.reset();
  failing_kinds_.clear();
}

std::vector<SystemCall> SystemCallFaults::Calls() const {
  const std::lock_guard lock(mutex_);
  return calls_;
}

std::vector<SystemCall> SystemCallFaults::Failed() const {
  const std::lock_guard lock(mutex_);
  return failed_;
}

}  // namespace fwu::sim
