#include "platform/sim/real_time.h"

#include <utility>

namespace fwu::sim {

RealTimeClock::RealTimeClock() : start_(std::chrono::steady_clock::now()) {}

RealTimeClock::~RealTimeClock() {
  FinishThreads();
}

std::uint32_t RealTimeClock::TickCount() {
  const auto elapsed = std::chrono::steady_clock::now() - start_;
  // Wraps after 49.7 days, as GetTickCount does.
  return static_cast<std::uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

std::int64_t RealTimeClock::CalendarSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

void RealTimeClock::Sleep(std::uint32_t milliseconds) {
  if (milliseconds == 0) {
    std::this_thread::yield();
    return;
  }
  {
    const std::lock_guard lock(mutex_);
    slept_ += std::chrono::milliseconds(milliseconds);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::chrono::milliseconds RealTimeClock::SleptFor() const {
  const std::lock_guard lock(mutex_);
  return slept_;
}

void RealTimeClock::ThreadMain(SystemThread* self) {
  // What the entry holds goes with the thread, outside the lock, while everything it may use
  // still exists.
  Entry entry;
  {
    std::unique_lock lock(mutex_);
    resumed_.wait(lock, [self] { return self->suspend_count == 0 || self->cancelled; });
    entry = std::move(self->entry);
    if (self->cancelled) {
      self->exit_code = 0;
      lock.unlock();
      entry = nullptr;
      return;
    }
  }
  const std::uint32_t code = entry();
  entry = nullptr;
  const std::lock_guard lock(mutex_);
  self->exit_code = code;
}

platform::ThreadHandle RealTimeClock::CreateSuspended(Entry entry) {
  auto created = std::make_shared<SystemThread>();
  created->entry = std::move(entry);
  const std::lock_guard lock(mutex_);
  created->thread = std::thread(&RealTimeClock::ThreadMain, this, created.get());
  threads_.push_back(created);
  const platform::ThreadHandle handle = next_handle_;
  next_handle_ += 4;
  handles_.emplace(handle, std::move(created));
  return handle;
}

std::shared_ptr<RealTimeClock::SystemThread> RealTimeClock::Find(platform::ThreadHandle handle) {
  const auto found = handles_.find(handle);
  return found == handles_.end() ? nullptr : found->second;
}

std::uint32_t RealTimeClock::Resume(platform::ThreadHandle thread) {
  const std::lock_guard lock(mutex_);
  const std::shared_ptr<SystemThread> target = Find(thread);
  if (target == nullptr) {
    return platform::kResumeFailed;
  }
  const std::uint32_t previous = target->suspend_count;
  if (previous > 0) {
    --target->suspend_count;
  }
  resumed_.notify_all();
  return previous;
}

platform::ThreadHandle RealTimeClock::Duplicate(platform::ThreadHandle thread) {
  const std::lock_guard lock(mutex_);
  std::shared_ptr<SystemThread> target = Find(thread);
  if (target == nullptr) {
    return 0;
  }
  const platform::ThreadHandle handle = next_handle_;
  next_handle_ += 4;
  handles_.emplace(handle, std::move(target));
  return handle;
}

bool RealTimeClock::ExitCode(platform::ThreadHandle thread, std::uint32_t& code) {
  const std::lock_guard lock(mutex_);
  const std::shared_ptr<SystemThread> target = Find(thread);
  if (target == nullptr) {
    return false;
  }
  code = target->exit_code;
  return true;
}

void RealTimeClock::CloseThread(platform::ThreadHandle thread) {
  const std::lock_guard lock(mutex_);
  handles_.erase(thread);
}

platform::SignalHandle RealTimeClock::CreateSignal() {
  const std::lock_guard lock(mutex_);
  const platform::SignalHandle handle = next_handle_;
  next_handle_ += 4;
  signals_.emplace(handle, false);
  return handle;
}

bool RealTimeClock::GiveSignal(platform::SignalHandle signal) {
  const std::lock_guard lock(mutex_);
  const auto found = signals_.find(signal);
  if (found == signals_.end()) {
    return false;
  }
  found->second = true;
  signalled_.notify_all();
  return true;
}

bool RealTimeClock::WaitForSignal(platform::SignalHandle signal) {
  std::unique_lock lock(mutex_);
  if (!signals_.contains(signal)) {
    return false;
  }
  signalled_.wait(lock, [&] {
    const auto found = signals_.find(signal);
    return found == signals_.end() || found->second;
  });
  return signals_.contains(signal);
}

void RealTimeClock::CloseSignal(platform::SignalHandle signal) {
  const std::lock_guard lock(mutex_);
  signals_.erase(signal);
  signalled_.notify_all();
}

void RealTimeClock::FinishThreads() {
  std::vector<std::shared_ptr<SystemThread>> threads;
  {
    const std::lock_guard lock(mutex_);
    for (const auto& thread : threads_) {
      if (thread->suspend_count > 0) {
        thread->cancelled = true;
      }
    }
    threads.swap(threads_);
    resumed_.notify_all();
  }
  for (const auto& thread : threads) {
    if (thread->thread.joinable()) {
      thread->thread.join();
    }
  }
}

}  // namespace fwu::sim
