#include "win32/import_hook.h"

#include <cstdint>
#include <string>

#include "platform/win32/windows_api.h"

namespace fwu::win32 {
namespace {

bool SameName(std::string_view left, std::string_view right) {
  return left.size() == right.size() &&
         CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, left.data(),
                        static_cast<int>(left.size()), right.data(),
                        static_cast<int>(right.size())) == CSTR_EQUAL;
}

// The import-table slot through which the program calls the function; nullptr when it does not
// import it by name.
void** FindSlot(std::string_view module_name, std::string_view function_name) {
  auto* const base = reinterpret_cast<std::uint8_t*>(GetModuleHandleA(nullptr));
  const auto* const dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* const nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) {
    return nullptr;
  }
  for (auto* descriptor =
           reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       descriptor->Name != 0; ++descriptor) {
    if (!SameName(reinterpret_cast<const char*>(base + descriptor->Name), module_name) ||
        descriptor->OriginalFirstThunk == 0) {
      continue;
    }
    const auto* name_thunk =
        reinterpret_cast<const IMAGE_THUNK_DATA*>(base + descriptor->OriginalFirstThunk);
    auto* address_thunk = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->FirstThunk);
    for (; name_thunk->u1.AddressOfData != 0; ++name_thunk, ++address_thunk) {
      if (IMAGE_SNAP_BY_ORDINAL(name_thunk->u1.Ordinal)) {
        continue;
      }
      const auto* by_name =
          reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + name_thunk->u1.AddressOfData);
      if (std::string_view(reinterpret_cast<const char*>(by_name->Name)) == function_name) {
        return reinterpret_cast<void**>(&address_thunk->u1.Function);
      }
    }
  }
  return nullptr;
}

void Store(void** slot, void* function) {
  DWORD protection = 0;
  if (VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection) == FALSE) {
    return;
  }
  *slot = function;
  VirtualProtect(slot, sizeof *slot, protection, &protection);
}

}  // namespace

ImportHook::ImportHook(std::string_view module_name, std::string_view function_name,
                       void* replacement) {
  void** const slot = FindSlot(module_name, function_name);
  if (slot == nullptr) {
    return;
  }
  original_ = *slot;
  Store(slot, replacement);
  if (*slot == replacement) {
    slot_ = slot;
  }
}

ImportHook::~ImportHook() {
  if (slot_ != nullptr) {
    Store(slot_, original_);
  }
}

}  // namespace fwu::win32
