#include "platform/win32/win32_registry.h"

#include "platform/win32/handle_cast.h"
#include "platform/win32/windows_api.h"

namespace fwu::win32 {

namespace {

HKEY SystemKey(platform::RegistryHandle key) {
  switch (key) {
    case platform::kHkeyCurrentUser:
      return HKEY_CURRENT_USER;
    case platform::kHkeyLocalMachine:
      return HKEY_LOCAL_MACHINE;
    case platform::kHkeyDynData:
      return HKEY_DYN_DATA;
    default:
      return PointerFrom<HKEY>(key);
  }
}

bool IsPredefined(platform::RegistryHandle key) {
  return key == platform::kHkeyCurrentUser || key == platform::kHkeyLocalMachine ||
         key == platform::kHkeyDynData;
}

platform::RegistryHandle CoreKey(HKEY key) {
  return reinterpret_cast<platform::RegistryHandle>(key);
}

}  // namespace

std::int32_t Win32Registry::OpenKey(platform::RegistryHandle parent, const char* path,
                                    std::uint32_t access, platform::RegistryHandle& key) {
  HKEY opened = nullptr;
  const LONG status = RegOpenKeyExA(SystemKey(parent), path, 0, access, &opened);
  if (status == ERROR_SUCCESS) {
    key = CoreKey(opened);
  }
  return status;
}

std::int32_t Win32Registry::CreateKey(platform::RegistryHandle parent, const char* path,
                                      std::uint32_t access, platform::RegistryHandle& key) {
  HKEY created = nullptr;
  const LONG status = RegCreateKeyExA(SystemKey(parent), path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                      access, nullptr, &created, nullptr);
  if (status == ERROR_SUCCESS) {
    key = CoreKey(created);
  }
  return status;
}

std::int32_t Win32Registry::QueryValue(platform::RegistryHandle key, const char* name,
                                       std::uint32_t* type, std::uint8_t* data,
                                       std::uint32_t* size) {
  DWORD value_type = 0;
  DWORD value_size = size != nullptr ? *size : 0;
  const LONG status = RegQueryValueExA(SystemKey(key), name, nullptr, &value_type, data,
                                       size != nullptr ? &value_size : nullptr);
  if (type != nullptr) {
    *type = value_type;
  }
  if (size != nullptr) {
    *size = value_size;
  }
  return status;
}

std::int32_t Win32Registry::SetValue(platform::RegistryHandle key, const char* name,
                                     std::uint32_t type, const std::uint8_t* data,
                                     std::uint32_t size) {
  return RegSetValueExA(SystemKey(key), name, 0, type, data, size);
}

std::int32_t Win32Registry::EnumKey(platform::RegistryHandle key, std::uint32_t index, char* name,
                                    std::uint32_t* name_size) {
  DWORD length = *name_size;
  const LONG status =
      RegEnumKeyExA(SystemKey(key), index, name, &length, nullptr, nullptr, nullptr, nullptr);
  *name_size = length;
  return status;
}

std::int32_t Win32Registry::DeleteKey(platform::RegistryHandle key, const char* subkey) {
  return RegDeleteKeyA(SystemKey(key), subkey);
}

std::int32_t Win32Registry::DeleteValue(platform::RegistryHandle key, const char* name) {
  return RegDeleteValueA(SystemKey(key), name);
}

std::int32_t Win32Registry::CloseKey(platform::RegistryHandle key) {
  if (IsPredefined(key)) {
    return ERROR_SUCCESS;
  }
  return RegCloseKey(SystemKey(key));
}

}  // namespace fwu::win32
