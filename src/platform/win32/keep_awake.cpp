#include "platform/win32/keep_awake.h"

#include "platform/win32/system_function.h"
#include "platform/win32/windows_api.h"

namespace fwu::win32 {

namespace {

using SetThreadExecutionStateFunction = EXECUTION_STATE(WINAPI*)(EXECUTION_STATE);

SetThreadExecutionStateFunction ExecutionStateFunction() {
  return SystemFunction<SetThreadExecutionStateFunction>("kernel32.dll", "SetThreadExecutionState");
}

}  // namespace

KeepAwake::KeepAwake() {
  if (const auto set_state = ExecutionStateFunction()) {
    requested_ = set_state(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) != 0;
  }
}

KeepAwake::~KeepAwake() {
  if (!requested_) {
    return;
  }
  if (const auto set_state = ExecutionStateFunction()) {
    set_state(ES_CONTINUOUS);
  }
}

}  // namespace fwu::win32
