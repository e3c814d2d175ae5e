#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

namespace fwu::sim {

// The calls of the simulated PC that can fail, grouped as the program meets their failures.
enum class SystemCall : std::uint8_t {
  kRegistryOpen,    // RegOpenKeyExA, RegCreateKeyExA
  kRegistryRead,    // RegQueryValueExA, RegEnumKeyExA
  kRegistryWrite,   // RegSetValueExA
  kRegistryDelete,  // RegDeleteKeyA, RegDeleteValueA
  kThreadCreate,
  kThreadResume,
  kThreadDuplicate,
  kThreadExitCode,
  kSignalCreate,  // the events a thread waits for
  kSignalGive,
  kSignalWait,
  kDialog,  // DialogBoxParamA gives -1
  kTimer,   // SetTimer
  kLibraryLoad,
  kEntryPoint,
  kLockedMemory,     // GlobalAlloc and GlobalLock for the ASPI requests
  kCompletionEvent,  // an ASPI request's event
  kDeviceOpen,
  kIoControl,
  kVersion,
  kPowerStatus,
  kMutex,
  kScreenSaver,
  kCurrentDirectory,
  kProgramPath,
  kPrivilege,
  kExitWindows,
};

std::string_view NameOf(SystemCall call);

// Which of the simulated PC's calls fail. Every call that can fail asks here first and, when
// told so, fails as the real call would, without doing anything. Each question counts, so that
// a sweep can run a scenario once to learn its calls and then fail each of them in turn. The
// program's threads may ask at the same time.
class SystemCallFaults {
 public:
  // Asked by a call that can fail; true when this one is to fail.
  bool Fails(SystemCall call);

  // Told of each call as it asks, with its number from 0, on the calling thread (so that it can
  // see where the call is made).
  void SetObserver(std::function<void(std::size_t number, SystemCall call)> observer);

  // The n-th call from now on (1 for the next) fails, once.
  void FailNth(std::size_t n);
  // Every call of the kind fails until Clear.
  void FailEvery(SystemCall call);
  void Clear();

  // The calls asked about so far, in order, and which of them failed.
  std::vector<SystemCall> Calls() const;
  std::vector<SystemCall> Failed() const;

 private:
  mutable std::mutex mutex_;
  std::vector<SystemCall> calls_;
  std::vector<SystemCall> failed_;
  std::optional<std::size_t> failing_call_;  // index into calls_
  std::vector<SystemCall> failing_kinds_;
  std::function<void(std::size_t, SystemCall)> observer_;
};

}  // namespace fwu::sim
