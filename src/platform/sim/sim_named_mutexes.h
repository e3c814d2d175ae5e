#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/system_services.h"

namespace fwu::sim {

// The named mutexes of one simulated PC, shared by every program instance (process) on it. As
// on Windows, a name stays in use while any process holds a handle to it; only the owner can
// release it; a process's end closes its handles and gives up what it owned.
class SimNamedMutexes {
 public:
  struct Opened {
    platform::MutexHandle handle = 0;
    bool already_existed = false;
  };

  // CreateMutexA with initial ownership: a new mutex belongs to the process; an existing one is
  // only opened, and its owner stays.
  Opened Create(std::string_view name, int process);
  // ReleaseMutex: false, and nothing changes, unless the process owns the mutex.
  bool Release(platform::MutexHandle handle, int process);
  // Closes every handle of the process.
  void EndProcess(int process);

  bool Exists(std::string_view name) const;
  std::optional<int> Owner(std::string_view name) const;

 private:
  struct Mutex {
    std::optional<int> owner;
    std::map<platform::MutexHandle, int> handles;  // handle -> process
  };

  std::map<std::string, Mutex, std::less<>> mutexes_;
  platform::MutexHandle next_handle_ = 0x200;
};

}  // namespace fwu::sim
