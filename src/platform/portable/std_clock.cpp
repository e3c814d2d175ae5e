#include "platform/portable/std_clock.h"

#include <algorithm>
#include <utility>

namespace fwu::portable {

StdClock::StdClock(std::uint32_t wait_divisor)
    : wait_divisor_(wait_divisor == 0 ? 1 : wait_divisor),
      start_(std::chrono::steady_clock::now()) {}

StdClock::~StdClock() {
  FinishThreads();
}

std::uint32_t StdClock::TickCount() {
  // Wraps after 49.7 days, as GetTickCount does.
  return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now() - start_)
                                        .count());
}

std::int64_t StdClock::CalendarSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

void StdClock::Sleep(std::uint32_t milliseconds) {
  if (milliseconds == 0) {
    std::this_thread::yield();
    return;
  }
  // A wait never shrinks to a mere yield.
  std::this_thread::sleep_for(
      std::chrono::milliseconds(std::max<std::uint32_t>(1, milliseconds / wait_divisor_)));
}

void StdClock::Run(Thread& self) {
  // What the entry holds goes with the thread, outside the lock, while everything it may use
  // still exists.
  Entry entry;
  {
    std::unique_lock lock(mutex_);
    resumed_.wait(lock, [&] { return self.suspend_count == 0 || self.cancelled; });
    entry = std::move(self.entry);
    if (self.cancelled) {
      self.exit_code = 0;
      lock.unlock();
      entry = nullptr;
      return;
    }
  }
  const std::uint32_t code = entry();
  entry = nullptr;
  const std::lock_guard lock(mutex_);
  self.exit_code = code;
}

platform::ThreadHandle StdClock::CreateSuspended(Entry entry) {
  auto thread = std::make_shared<Thread>();
  thread->entry = std::move(entry);
  const std::lock_guard lock(mutex_);
  thread->thread = std::thread([this, raw = thread.get()] { Run(*raw); });
  threads_.push_back(thread);
  const platform::ThreadHandle handle = next_handle_;
  next_handle_ += 4;
  handles_[handle] = std::move(thread);
  return handle;
}

std::shared_ptr<StdClock::Thread> StdClock::Find(platform::ThreadHandle handle) {
  const auto found = handles_.find(handle);
  return found == handles_.end() ? nullptr : found->second;
}

std::uint32_t StdClock::Resume(platform::ThreadHandle handle) {
  const std::lock_guard lock(mutex_);
  const std::shared_ptr<Thread> thread = Find(handle);
  if (!thread) {
    return platform::kResumeFailed;
  }
  const std::uint32_t previous = thread->suspend_count;
  if (previous > 0) {
    --thread->suspend_count;
    resumed_.notify_all();
  }
  return previous;
}

platform::ThreadHandle StdClock::Duplicate(platform::ThreadHandle handle) {
  const std::lock_guard lock(mutex_);
  const std::shared_ptr<Thread> thread = Find(handle);
  if (!thread) {
    return 0;
  }
  const platform::ThreadHandle duplicate = next_handle_;
  next_handle_ += 4;
  handles_[duplicate] = thread;
  return duplicate;
}

bool StdClock::ExitCode(platform::ThreadHandle handle, std::uint32_t& code) {
  const std::lock_guard lock(mutex_);
  const std::shared_ptr<Thread> thread = Find(handle);
  if (!thread) {
    return false;
  }
  code = thread->exit_code;
  return true;
}

void StdClock::CloseThread(platform::ThreadHandle handle) {
  const std::lock_guard lock(mutex_);
  handles_.erase(handle);
}

platform::SignalHandle StdClock::CreateSignal() {
  const std::lock_guard lock(mutex_);
  const platform::SignalHandle handle = next_handle_;
  next_handle_ += 4;
  signals_.emplace(handle, false);
  return handle;
}

bool StdClock::GiveSignal(platform::SignalHandle signal) {
  const std::lock_guard lock(mutex_);
  const auto found = signals_.find(signal);
  if (found == signals_.end()) {
    return false;
  }
  found->second = true;
  signalled_.notify_all();
  return true;
}

bool StdClock::WaitForSignal(platform::SignalHandle signal) {
  std::unique_lock lock(mutex_);
  if (!signals_.contains(signal)) {
    return false;
  }
  // A signal closed while it is waited for ends the wait as a failed one.
  signalled_.wait(lock, [&] {
    const auto found = signals_.find(signal);
    return found == signals_.end() || found->second;
  });
  return signals_.contains(signal);
}

void StdClock::CloseSignal(platform::SignalHandle signal) {
  const std::lock_guard lock(mutex_);
  signals_.erase(signal);
  signalled_.notify_all();
}

void StdClock::FinishThreads() {
  std::vector<std::shared_ptr<Thread>> threads;
  {
    const std::lock_guard lock(mutex_);
    for (const auto& thread : threads_) {
      thread->cancelled = thread->suspend_count > 0;
    }
    threads.swap(threads_);
    resumed_.notify_all();
  }
  for (const auto& thread : threads) {
    thread->thread.join();
  }
}

}  // namespace fwu::portable
