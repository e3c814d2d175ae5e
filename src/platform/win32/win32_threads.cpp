#include "platform/win32/win32_threads.h"

#include <utility>

#include "platform/win32/handle_cast.h"
#include "platform/win32/keep_awake.h"
#include "platform/win32/windows_api.h"

namespace fwu::win32 {

namespace {

// The thread access the update start asks for when it duplicates the worker's handle: the
// full access of the systems the program was made for.
constexpr DWORD kThreadAllAccess = 0x1F03FF;

struct ThreadStart {
  platform::Threads::Entry entry;
  std::shared_ptr<std::atomic<int>> running;
};

// Counts the thread as running for exactly as long as its entry runs.
class RunningMark {
 public:
  explicit RunningMark(std::atomic<int>& running) : running_(running) { ++running_; }
  ~RunningMark() { --running_; }
  RunningMark(const RunningMark&) = delete;
  RunningMark& operator=(const RunningMark&) = delete;

 private:
  std::atomic<int>& running_;
};

DWORD WINAPI RunThread(void* parameter) {
  const std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(parameter));
  const RunningMark mark(*start->running);
  const KeepAwake awake;
  return start->entry();
}

HANDLE SystemHandle(std::uintptr_t handle) {
  return PointerFrom<HANDLE>(handle);
}

}  // namespace

Win32Threads::Win32Threads() : running_(std::make_shared<std::atomic<int>>(0)) {}

platform::ThreadHandle Win32Threads::CreateSuspended(Entry entry) {
  auto start = std::make_unique<ThreadStart>(ThreadStart{std::move(entry), running_});
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, &RunThread, start.get(), CREATE_SUSPENDED, &id);
  if (thread == nullptr) {
    return 0;
  }
  // The thread owns its start record from now on and deletes it when it ends.
  static_cast<void>(start.release());
  return reinterpret_cast<platform::ThreadHandle>(thread);
}

std::uint32_t Win32Threads::Resume(platform::ThreadHandle thread) {
  return ResumeThread(SystemHandle(thread));
}

platform::ThreadHandle Win32Threads::Duplicate(platform::ThreadHandle thread) {
  HANDLE process = GetCurrentProcess();
  HANDLE duplicate = nullptr;
  if (DuplicateHandle(process, SystemHandle(thread), process, &duplicate, kThreadAllAccess, TRUE,
                      DUPLICATE_SAME_ACCESS) == FALSE) {
    return 0;
  }
  return reinterpret_cast<platform::ThreadHandle>(duplicate);
}

bool Win32Threads::ExitCode(platform::ThreadHandle thread, std::uint32_t& code) {
  DWORD exit_code = 0;
  if (GetExitCodeThread(SystemHandle(thread), &exit_code) == FALSE) {
    return false;
  }
  code = exit_code;
  return true;
}

void Win32Threads::CloseThread(platform::ThreadHandle thread) {
  if (thread != 0) {
    CloseHandle(SystemHandle(thread));
  }
}

platform::SignalHandle Win32Threads::CreateSignal() {
  return reinterpret_cast<platform::SignalHandle>(CreateEventA(nullptr, TRUE, FALSE, nullptr));
}

bool Win32Threads::GiveSignal(platform::SignalHandle signal) {
  return SetEvent(SystemHandle(signal)) != FALSE;
}

bool Win32Threads::WaitForSignal(platform::SignalHandle signal) {
  return WaitForSingleObject(SystemHandle(signal), INFINITE) == WAIT_OBJECT_0;
}

void Win32Threads::CloseSignal(platform::SignalHandle signal) {
  if (signal != 0) {
    CloseHandle(SystemHandle(signal));
  }
}

}  // namespace fwu::win32
