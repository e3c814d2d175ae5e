#pragma once

#include <string>

namespace fwu::win32 {

// The reason Windows Vista and later show when a program refuses to let the session end. The
// dialogs' shutdown guard refuses on every Windows; this only puts the refusal into words where
// the system can show them, and does nothing on systems without it. Registered on one window
// at a time, from the thread that owns that window.
class ShutdownBlockReason {
 public:
  // ShutdownBlockReasonCreate and ShutdownBlockReasonDestroy, with the window handle as the
  // opaque pointer it is; null where the system lacks them.
  using CreateFunction = int(__stdcall*)(void* window, const wchar_t* reason);
  using DestroyFunction = int(__stdcall*)(void* window);
  struct Calls {
    CreateFunction create = nullptr;
    DestroyFunction destroy = nullptr;
  };
  // The system's own, looked up at run time.
  static Calls SystemCalls();

  explicit ShutdownBlockReason(std::wstring reason, Calls calls = SystemCalls());
  ~ShutdownBlockReason() = default;
  ShutdownBlockReason(const ShutdownBlockReason&) = delete;
  ShutdownBlockReason& operator=(const ShutdownBlockReason&) = delete;

  // Registers the reason on the window when wanted and none is registered, and takes it back
  // when not wanted.
  void Update(void* window, bool wanted);
  // A window that is going away gives up its reason first.
  void WindowClosing(void* window);

  bool Available() const { return calls_.create != nullptr && calls_.destroy != nullptr; }
  void* Window() const { return window_; }

 private:
  std::wstring reason_;
  Calls calls_;
  void* window_ = nullptr;
};

}  // namespace fwu::win32
