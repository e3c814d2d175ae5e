#pragma once

#include <cstddef>
#include <cstdint>

namespace fwu::platform {

using ModuleHandle = std::uintptr_t;  // 0 when a library could not be loaded
using EventHandle = void*;            // what goes into SRB_PostProc; null when none was created

// The ASPI manager library of Windows 9x, loaded at run time, with what its requests need around
// them: memory the library may write to, completion events, and the message pump of the waits
// that keep the user interface alive. The records handed over are the published ASPI records,
// byte for byte (drive/aspi_records.h).
class AspiLibrary {
 public:
  virtual ~AspiLibrary() = default;

  // LoadLibraryA, FreeLibrary.
  virtual ModuleHandle LoadAspi(const char* file_name) = 0;
  virtual void FreeAspi(ModuleHandle module) = 0;
  // Whether the library exports the named entry point (GetProcAddress).
  virtual bool HasEntryPoint(ModuleHandle module, const char* name) = 0;

  // GetASPI32SupportInfo: completion code in bits 8-15, adapter count in bits 0-7.
  virtual std::uint32_t GetSupportInfo(ModuleHandle module) = 0;
  // SendASPI32Command. The record, and any data buffer it names, must come from AllocateLocked
  // and stay there until the record's status byte has left 0. The result is the request's
  // status when the library settled it at once, or 0 (pending) when it completes later.
  virtual std::uint32_t SendCommand(ModuleHandle module, void* request_record) = 0;

  // Zero-filled memory that stays in place and paged in until released (global memory, locked);
  // null when it cannot be had.
  virtual void* AllocateLocked(std::size_t bytes) = 0;
  virtual void ReleaseLocked(void* memory) = 0;

  // Unnamed, auto-reset, initially not signalled.
  virtual EventHandle CreateCompletionEvent() = 0;
  // Blocks up to timeout_ms (0 only tests); true when the event was signalled.
  virtual bool WaitForCompletion(EventHandle event, std::uint32_t timeout_ms) = 0;
  virtual void ResetCompletionEvent(EventHandle event) = 0;
  virtual void CloseCompletionEvent(EventHandle event) = 0;

  // Waits up to wait_ms for a window message of the calling thread and hands at most one to the
  // message pump (PeekMessageA, TranslateMessage, DispatchMessageA).
  virtual void PumpWindowMessage(std::uint32_t wait_ms) = 0;
};

}  // namespace fwu::platform
