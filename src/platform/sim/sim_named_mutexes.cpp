#include "platform/sim/sim_named_mutexes.h"

#include <iterator>

namespace fwu::sim {

SimNamedMutexes::Opened SimNamedMutexes::Create(std::string_view name, int process) {
  const platform::MutexHandle handle = next_handle_;
  next_handle_ += 4;
  auto found = mutexes_.find(name);
  if (found != mutexes_.end()) {
    found->second.handles.emplace(handle, process);
    return {handle, true};
  }
  Mutex& created = mutexes_[std::string(name)];
  created.owner = process;
  created.handles.emplace(handle, process);
  return {handle, false};
}

bool SimNamedMutexes::Release(platform::MutexHandle handle, int process) {
  for (auto& [name, mutex] : mutexes_) {
    const auto held = mutex.handles.find(handle);
    if (held == mutex.handles.end() || held->second != process) {
      continue;
    }
    if (mutex.owner != process) {
      return false;
    }
    mutex.owner.reset();
    return true;
  }
  return false;
}

void SimNamedMutexes::EndProcess(int process) {
  for (auto it = mutexes_.begin(); it != mutexes_.end();) {
    Mutex& mutex = it->second;
    std::erase_if(mutex.handles, [process](const auto& entry) { return entry.second == process; });
    if (mutex.owner == process) {
      mutex.owner.reset();  // abandoned
    }
    it = mutex.handles.empty() ? mutexes_.erase(it) : std::next(it);
  }
}

bool SimNamedMutexes::Exists(std::string_view name) const {
  return mutexes_.find(name) != mutexes_.end();
}

std::optional<int> SimNamedMutexes::Owner(std::string_view name) const {
  const auto found = mutexes_.find(name);
  return found == mutexes_.end() ? std::nullopt : found->second.owner;
}

}  // namespace fwu::sim
