#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/aspi_library.h"

namespace fwu::win32 {

// The ASPI manager DLL of Windows 9x, loaded with LoadLibraryA, its two entry points called
// through GetProcAddress; request records in locked global memory; completion events; and the
// message pump of the waits that keep the user interface alive.
class Win32AspiLibrary final : public platform::AspiLibrary {
 public:
  platform::ModuleHandle LoadAspi(const char* file_name) override;
  void FreeAspi(platform::ModuleHandle module) override;
  bool HasEntryPoint(platform::ModuleHandle module, const char* name) override;
  std::uint32_t GetSupportInfo(platform::ModuleHandle module) override;
  std::uint32_t SendCommand(platform::ModuleHandle module, void* request_record) override;
  void* AllocateLocked(std::size_t bytes) override;
  void ReleaseLocked(void* memory) override;
  platform::EventHandle CreateCompletionEvent() override;
  bool WaitForCompletion(platform::EventHandle event, std::uint32_t timeout_ms) override;
  void ResetCompletionEvent(platform::EventHandle event) override;
  void CloseCompletionEvent(platform::EventHandle event) override;
  void PumpWindowMessage(std::uint32_t wait_ms) override;
};

}  // namespace fwu::win32
