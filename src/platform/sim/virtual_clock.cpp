#include "platform/sim/virtual_clock.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace fwu::sim {

VirtualClock::VirtualClock() {
  auto main_thread = std::make_unique<SimThread>();
  main_thread->state = State::kRunning;
  by_system_id_[std::this_thread::get_id()] = main_thread.get();
  threads_.push_back(std::move(main_thread));
}

VirtualClock::~VirtualClock() {
  FinishThreads();
}

VirtualClock::SimThread& VirtualClock::Current() {
  const auto found = by_system_id_.find(std::this_thread::get_id());
  if (found == by_system_id_.end()) {
    std::fprintf(stderr, "virtual clock: called from a thread it does not run\n");
    std::abort();
  }
  return *found->second;
}

std::uint32_t VirtualClock::TickCount() {
  const std::lock_guard lock(mutex_);
  return static_cast<std::uint32_t>(now_ms_);
}

std::int64_t VirtualClock::CalendarSeconds() {
  const std::lock_guard lock(mutex_);
  return kEpochSeconds + static_cast<std::int64_t>(now_ms_ / 1000U);
}

std::uint64_t VirtualClock::NowMilliseconds() const {
  const std::lock_guard lock(mutex_);
  return now_ms_;
}

void VirtualClock::Sleep(std::uint32_t milliseconds) {
  std::unique_lock lock(mutex_);
  SimThread& self = Current();
  if (milliseconds == 0) {
    // A yield: every other runnable thread gets its turn first, time stands still.
    MakeRunnable(self);
  } else {
    self.state = State::kSleeping;
    self.deadline = now_ms_ + milliseconds;
  }
  Block(lock, self);
}

void VirtualClock::MakeRunnable(SimThread& thread) {
  thread.state = State::kRunnable;
  thread.deadline.reset();
  runnable_.push_back(&thread);
}

void VirtualClock::Block(std::unique_lock<std::mutex>& lock, SimThread& self) {
  HandOff();
  baton_.wait(lock, [&] { return running_ == self.id; });
  self.state = State::kRunning;
}

// Passes the turn to the next runnable thread; when none is, moves time to the earliest
// deadline and wakes every thread due then, in the order they were created.
void VirtualClock::HandOff() {
  while (runnable_.empty()) {
    std::optional<std::uint64_t> earliest;
    for (const auto& thread : threads_) {
      if (thread->deadline && (!earliest || *thread->deadline < *earliest)) {
        earliest = thread->deadline;
      }
    }
    if (!earliest) {
      Deadlock();
    }
    now_ms_ = std::max(now_ms_, *earliest);
    for (const auto& thread : threads_) {
      if (thread->deadline == earliest) {
        thread->woken_by_event = false;
        MakeRunnable(*thread);
      }
    }
  }
  SimThread* next = runnable_.front();
  runnable_.pop_front();
  running_ = next->id;
  baton_.notify_all();
}

void VirtualClock::Deadlock() const {
  std::fprintf(stderr,
               "virtual clock: every simulated thread waits and none has a deadline (t=%llu ms)\n",
               static_cast<unsigned long long>(now_ms_));
  std::abort();
}

platform::ThreadHandle VirtualClock::CreateSuspended(Entry entry) {
  const std::lock_guard lock(mutex_);
  Current();
  auto created = std::make_unique<SimThread>();
  SimThread* thread = created.get();
  thread->id = static_cast<int>(threads_.size());
  thread->state = State::kSuspended;
  thread->suspend_count = 1;
  thread->entry = std::move(entry);
  threads_.push_back(std::move(created));
  thread->thread = std::thread(&VirtualClock::ThreadMain, this, thread);
  by_system_id_[thread->thread.get_id()] = thread;
  const platform::ThreadHandle handle = next_handle_;
  next_handle_ += 4;
  handles_[handle] = thread;
  return handle;
}

void VirtualClock::ThreadMain(SimThread* self) {
  std::unique_lock lock(mutex_);
  baton_.wait(lock, [&] { return running_ == self->id; });
  self->state = State::kRunning;
  std::uint32_t code = 0;
  Entry entry = std::move(self->entry);
  const bool run = !self->skip_entry;
  lock.unlock();
  if (run) {
    code = entry();
  }
  // What the entry holds goes with the thread, while everything it may use still exists.
  entry = nullptr;
  lock.lock();
  self->exit_code = code;
  self->state = State::kExited;
  for (const auto& thread : threads_) {
    if (thread->state == State::kWaitingExits) {
      MakeRunnable(*thread);
    }
  }
  HandOff();
}

VirtualClock::SimThread* VirtualClock::ThreadOf(platform::ThreadHandle handle) {
  const auto found = handles_.find(handle);
  return found == handles_.end() ? nullptr : found->second;
}

std::uint32_t VirtualClock::Resume(platform::ThreadHandle handle) {
  const std::lock_guard lock(mutex_);
  SimThread* thread = ThreadOf(handle);
  if (thread == nullptr) {
    return platform::kResumeFailed;
  }
  const std::uint32_t previous = thread->suspend_count;
  if (thread->suspend_count > 0 && --thread->suspend_count == 0 &&
      thread->state == State::kSuspended) {
    MakeRunnable(*thread);
  }
  return previous;
}

platform::ThreadHandle VirtualClock::Duplicate(platform::ThreadHandle handle) {
  const std::lock_guard lock(mutex_);
  SimThread* thread = ThreadOf(handle);
  if (thread == nullptr) {
    return 0;
  }
  const platform::ThreadHandle duplicate = next_handle_;
  next_handle_ += 4;
  handles_[duplicate] = thread;
  return duplicate;
}

bool VirtualClock::ExitCode(platform::ThreadHandle handle, std::uint32_t& code) {
  const std::lock_guard lock(mutex_);
  const SimThread* thread = ThreadOf(handle);
  if (thread == nullptr) {
    return false;
  }
  code = thread->exit_code;
  return true;
}

void VirtualClock::CloseThread(platform::ThreadHandle handle) {
  const std::lock_guard lock(mutex_);
  handles_.erase(handle);
}

VirtualClock::EventId VirtualClock::CreateEvent(bool manual_reset, bool initially_signalled) {
  const std::lock_guard lock(mutex_);
  const EventId id = next_event_;
  next_event_ += 4;
  events_[id] = Event{manual_reset, initially_signalled};
  return id;
}

void VirtualClock::SignalEvent(EventId id) {
  const std::lock_guard lock(mutex_);
  const auto found = events_.find(id);
  if (found == events_.end()) {
    return;
  }
  Event& event = found->second;
  for (const auto& thread : threads_) {
    if (thread->state == State::kWaitingEvent && thread->waiting_on == id) {
      thread->woken_by_event = true;
      MakeRunnable(*thread);
      if (!event.manual_reset) {
        return;  // an auto-reset event releases one waiter and stays clear
      }
    }
  }
  event.signalled = true;
}

bool VirtualClock::GiveSignal(platform::SignalHandle signal) {
  {
    const std::lock_guard lock(mutex_);
    if (!events_.contains(signal)) {
      return false;
    }
  }
  SignalEvent(signal);
  return true;
}

void VirtualClock::ResetEvent(EventId id) {
  const std::lock_guard lock(mutex_);
  const auto found = events_.find(id);
  if (found != events_.end()) {
    found->second.signalled = false;
  }
}

bool VirtualClock::WaitEvent(EventId id, std::uint32_t timeout_ms) {
  std::unique_lock lock(mutex_);
  SimThread& self = Current();
  const auto found = events_.find(id);
  if (found == events_.end()) {
    return false;
  }
  if (found->second.signalled) {
    if (!found->second.manual_reset) {
      found->second.signalled = false;
    }
    return true;
  }
  if (timeout_ms == 0) {
    return false;
  }
  self.state = State::kWaitingEvent;
  self.waiting_on = id;
  self.woken_by_event = false;
  self.deadline =
      timeout_ms == kInfinite ? std::nullopt : std::optional<std::uint64_t>(now_ms_ + timeout_ms);
  Block(lock, self);
  self.waiting_on = 0;
  return self.woken_by_event;
}

void VirtualClock::CloseEvent(EventId id) {
  const std::lock_guard lock(mutex_);
  events_.erase(id);
}

void VirtualClock::FinishThreads() {
  std::unique_lock lock(mutex_);
  SimThread& self = Current();
  for (const auto& thread : threads_) {
    if (thread->state == State::kSuspended) {
      thread->skip_entry = true;
      thread->suspend_count = 0;
      MakeRunnable(*thread);
    }
  }
  const auto others_running = [&] {
    return std::any_of(threads_.begin(), threads_.end(), [&](const auto& thread) {
      return thread.get() != &self && thread->state != State::kExited;
    });
  };
  while (others_running()) {
    self.state = State::kWaitingExits;
    Block(lock, self);
  }
  lock.unlock();
  for (const auto& thread : threads_) {
    if (thread->thread.joinable()) {
      thread->thread.join();
    }
  }
}

}  // namespace fwu::sim
