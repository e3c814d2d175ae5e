#pragma once

#include <cstdint>
#include <functional>

namespace fwu::platform {

using ThreadHandle = std::uintptr_t;  // 0 when none
using SignalHandle = std::uintptr_t;  // 0 when none
inline constexpr std::uint32_t kStillActive = 259;
inline constexpr std::uint32_t kResumeFailed = 0xFFFFFFFFU;

// Threads as the update start needs them: created suspended, resumed, watched by exit code, and
// held back by a signal until the thread that made them lets them go on.
class Threads {
 public:
  virtual ~Threads() = default;

  using Entry = std::function<std::uint32_t()>;

  virtual ThreadHandle CreateSuspended(Entry entry) = 0;
  // Returns the previous suspend count, or kResumeFailed.
  virtual std::uint32_t Resume(ThreadHandle thread) = 0;
  // A second handle to the same thread that stays valid after the thread has ended.
  virtual ThreadHandle Duplicate(ThreadHandle thread) = 0;
  // kStillActive while the thread runs.
  virtual bool ExitCode(ThreadHandle thread, std::uint32_t& code) = 0;
  virtual void CloseThread(ThreadHandle thread) = 0;

  // A signal that one thread gives once and every thread waiting for it then sees (a
  // manual-reset event, not yet given); 0 when none can be created.
  virtual SignalHandle CreateSignal() = 0;
  // False when the signal could not be given.
  virtual bool GiveSignal(SignalHandle signal) = 0;
  // Blocks the calling thread until the signal is given; false when the wait failed.
  virtual bool WaitForSignal(SignalHandle signal) = 0;
  virtual void CloseSignal(SignalHandle signal) = 0;
};

}  // namespace fwu::platform
