#pragma once

#include "platform/win32/windows_api.h"

namespace fwu::win32 {

// An entry point of a system DLL that not every Windows version has, looked up at run time so
// that the program still loads where it is missing; nullptr there. The DLL must already be
// mapped into the process (every system DLL the program imports is).
template <typename Function>
Function SystemFunction(const char* module_name, const char* function_name) {
  HMODULE module = GetModuleHandleA(module_name);
  if (module == nullptr) {
    return nullptr;
  }
  FARPROC procedure = GetProcAddress(module, function_name);
  if (procedure == nullptr) {
    return nullptr;
  }
  // Through the generic function type: the compiler accepts that cast from any function type.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(procedure));
}

}  // namespace fwu::win32
