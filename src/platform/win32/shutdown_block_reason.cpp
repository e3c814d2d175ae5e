#include "platform/win32/shutdown_block_reason.h"

#include <utility>

#include "platform/win32/system_function.h"
#include "platform/win32/windows_api.h"

namespace fwu::win32 {

ShutdownBlockReason::Calls ShutdownBlockReason::SystemCalls() {
  return {SystemFunction<CreateFunction>("user32.dll", "ShutdownBlockReasonCreate"),
          SystemFunction<DestroyFunction>("user32.dll", "ShutdownBlockReasonDestroy")};
}

ShutdownBlockReason::ShutdownBlockReason(std::wstring reason, Calls calls)
    : reason_(std::move(reason)), calls_(calls) {}

void ShutdownBlockReason::Update(void* window, bool wanted) {
  if (!Available()) {
    return;
  }
  if (!wanted) {
    if (window_ != nullptr) {
      calls_.destroy(window_);
      window_ = nullptr;
    }
    return;
  }
  if (window_ == nullptr && window != nullptr && !reason_.empty() &&
      calls_.create(window, reason_.c_str()) != FALSE) {
    window_ = window;
  }
}

void ShutdownBlockReason::WindowClosing(void* window) {
  if (window != nullptr && window == window_) {
    calls_.destroy(window_);
    window_ = nullptr;
  }
}

}  // namespace fwu::win32
