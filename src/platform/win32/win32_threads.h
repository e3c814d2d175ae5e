#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/threads.h"

namespace fwu::win32 {

// Threads on CreateThread (suspended), ResumeThread, DuplicateHandle, GetExitCodeThread and
// CloseHandle; signals on manual-reset events (CreateEventA, SetEvent, WaitForSingleObject). Each
// thread keeps the system awake while it runs (KeepAwake), and the threads that are running can be
// counted, so that the dialogs can tell Windows why they refuse to let the session end.
class Win32Threads final : public platform::Threads {
 public:
  Win32Threads();

  platform::ThreadHandle CreateSuspended(Entry entry) override;
  std::uint32_t Resume(platform::ThreadHandle thread) override;
  platform::ThreadHandle Duplicate(platform::ThreadHandle thread) override;
  bool ExitCode(platform::ThreadHandle thread, std::uint32_t& code) override;
  void CloseThread(platform::ThreadHandle thread) override;
  platform::SignalHandle CreateSignal() override;
  bool GiveSignal(platform::SignalHandle signal) override;
  bool WaitForSignal(platform::SignalHandle signal) override;
  void CloseSignal(platform::SignalHandle signal) override;

  // Threads created here that have begun their entry and not yet returned from it.
  int Running() const { return running_->load(); }

 private:
  // Shared with the threads: a thread may outlive this object at the end of the process.
  std::shared_ptr<std::atomic<int>> running_;
};

}  // namespace fwu::win32
