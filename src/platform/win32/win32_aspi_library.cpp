#include "platform/win32/win32_aspi_library.h"

#include "platform/win32/handle_cast.h"
#include "platform/win32/windows_api.h"

namespace fwu::win32 {

namespace {

// The library's entry points use the C calling convention.
using GetSupportInfoFunction = DWORD(__cdecl*)();
using SendCommandFunction = DWORD(__cdecl*)(void*);

HMODULE SystemModule(platform::ModuleHandle module) {
  return PointerFrom<HMODULE>(module);
}

template <typename Function>
Function EntryPoint(platform::ModuleHandle module, const char* name) {
  FARPROC procedure = GetProcAddress(SystemModule(module), name);
  if (procedure == nullptr) {
    return nullptr;
  }
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(procedure));
}

}  // namespace

platform::ModuleHandle Win32AspiLibrary::LoadAspi(const char* file_name) {
  return reinterpret_cast<platform::ModuleHandle>(LoadLibraryA(file_name));
}

void Win32AspiLibrary::FreeAspi(platform::ModuleHandle module) {
  FreeLibrary(SystemModule(module));
}

bool Win32AspiLibrary::HasEntryPoint(platform::ModuleHandle module, const char* name) {
  return GetProcAddress(SystemModule(module), name) != nullptr;
}

std::uint32_t Win32AspiLibrary::GetSupportInfo(platform::ModuleHandle module) {
  const auto get_support_info = EntryPoint<GetSupportInfoFunction>(module, "GetASPI32SupportInfo");
  return get_support_info != nullptr ? get_support_info() : 0;
}

std::uint32_t Win32AspiLibrary::SendCommand(platform::ModuleHandle module, void* request_record) {
  const auto send_command = EntryPoint<SendCommandFunction>(module, "SendASPI32Command");
  // A library without the entry point never gets here: the transport binds only with both.
  return send_command != nullptr ? send_command(request_record) : 0;
}

void* Win32AspiLibrary::AllocateLocked(std::size_t bytes) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
  if (block == nullptr) {
    return nullptr;
  }
  void* memory = GlobalLock(block);
  if (memory == nullptr) {
    GlobalFree(block);
    return nullptr;
  }
  // Kept in memory as well where the system allows it; the library then never meets a page
  // fault in a record it writes from its own context. Not every system honours the request,
  // and the record is usable either way.
  VirtualLock(memory, bytes);
  return memory;
}

void Win32AspiLibrary::ReleaseLocked(void* memory) {
  if (memory == nullptr) {
    return;
  }
  HGLOBAL block = GlobalHandle(memory);
  if (block == nullptr) {
    return;
  }
  VirtualUnlock(memory, GlobalSize(block));
  GlobalUnlock(block);
  GlobalFree(block);
}

platform::EventHandle Win32AspiLibrary::CreateCompletionEvent() {
  return CreateEventA(nullptr, FALSE, FALSE, nullptr);
}

bool Win32AspiLibrary::WaitForCompletion(platform::EventHandle event, std::uint32_t timeout_ms) {
  return WaitForSingleObject(event, timeout_ms) == WAIT_OBJECT_0;
}

void Win32AspiLibrary::ResetCompletionEvent(platform::EventHandle event) {
  ResetEvent(event);
}

void Win32AspiLibrary::CloseCompletionEvent(platform::EventHandle event) {
  if (event != nullptr) {
    CloseHandle(event);
  }
}

void Win32AspiLibrary::PumpWindowMessage(std::uint32_t wait_ms) {
  MSG message{};
  if (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE) == FALSE) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, wait_ms, QS_ALLINPUT);
  }
  if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE) == FALSE) {
    return;
  }
  if (message.message == WM_QUIT) {
    // The quit request belongs to whichever loop owns the thread; it is put back for it.
    PostQuitMessage(static_cast<int>(message.wParam));
    return;
  }
  TranslateMessage(&message);
  DispatchMessageA(&message);
}

}  // namespace fwu::win32
