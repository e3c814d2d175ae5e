#pragma once

#include <cstdint>

namespace fwu::platform {

// An open registry key, or one of the predefined roots.
using RegistryHandle = std::uintptr_t;
inline constexpr RegistryHandle kHkeyCurrentUser = 0x80000001U;
inline constexpr RegistryHandle kHkeyLocalMachine = 0x80000002U;
inline constexpr RegistryHandle kHkeyDynData = 0x80000006U;  // Windows 9x only

// Access rights, as REGSAM bits.
inline constexpr std::uint32_t kKeyQueryValue = 0x0001;
inline constexpr std::uint32_t kKeySetValue = 0x0002;
inline constexpr std::uint32_t kKeyCreateSubKey = 0x0004;
inline constexpr std::uint32_t kKeyEnumerateSubKeys = 0x0008;
inline constexpr std::uint32_t kKeyCreateLink = 0x0020;
inline constexpr std::uint32_t kDeleteAccess = 0x10000;
inline constexpr std::uint32_t kWriteDacAccess = 0x40000;
inline constexpr std::uint32_t kWriteOwnerAccess = 0x80000;
inline constexpr std::uint32_t kKeyRead = 0x20019;
inline constexpr std::uint32_t kKeyAllAccess = 0xF003F;
inline constexpr std::uint32_t kKeyStoreWrite =
    0x2001F;  // KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE
// Every right that lets a handle change the registry.
inline constexpr std::uint32_t kKeyWriteRights = kKeySetValue | kKeyCreateSubKey | kKeyCreateLink |
                                                 kDeleteAccess | kWriteDacAccess |
                                                 kWriteOwnerAccess;

inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegMultiSz = 7;

// Win32 status codes of the registry calls (0 is success).
inline constexpr std::int32_t kErrorSuccess = 0;
inline constexpr std::int32_t kRegErrorFileNotFound = 2;
inline constexpr std::int32_t kRegErrorAccessDenied = 5;
inline constexpr std::int32_t kRegErrorInvalidHandle = 6;
inline constexpr std::int32_t kRegErrorInvalidParameter = 87;
inline constexpr std::int32_t kRegErrorBadPathname = 161;
inline constexpr std::int32_t kRegErrorMoreData = 234;
inline constexpr std::int32_t kRegErrorNoMoreItems = 259;
inline constexpr std::int32_t kRegErrorIoFailed = 1016;         // ERROR_REGISTRY_IO_FAILED
inline constexpr std::int32_t kRegErrorKeyDeleted = 1018;       // the handle's key was deleted
inline constexpr std::int32_t kRegErrorUnsupportedType = 1630;  // a value of another type

// The registry as the Reg*A calls give it. Every call returns a Win32 status code. A null or
// empty path names the parent key itself; a path never begins with a backslash.
class Registry {
 public:
  virtual ~Registry() = default;

  // RegOpenKeyExA.
  virtual std::int32_t OpenKey(RegistryHandle parent, const char* path, std::uint32_t access,
                               RegistryHandle& key) = 0;
  // RegCreateKeyExA (no class, non-volatile, default security): opens or creates, creating
  // every missing key along the path.
  virtual std::int32_t CreateKey(RegistryHandle parent, const char* path, std::uint32_t access,
                                 RegistryHandle& key) = 0;
  // RegQueryValueExA. size is in/out in bytes. With data null the call only reports the type
  // and size. A value that does not fit fails with kRegErrorMoreData and reports the size it
  // needs. Texts come back as stored: the terminating zero is there only if it was stored.
  virtual std::int32_t QueryValue(RegistryHandle key, const char* name, std::uint32_t* type,
                                  std::uint8_t* data, std::uint32_t* size) = 0;
  // RegSetValueExA: stores size bytes as they are.
  virtual std::int32_t SetValue(RegistryHandle key, const char* name, std::uint32_t type,
                                const std::uint8_t* data, std::uint32_t size) = 0;
  // RegEnumKeyExA: name of the subkey at index, in the registry's stable order. name_size is
  // the capacity in characters including the terminating zero on entry and the length without
  // it on return; a name that does not fit fails with kRegErrorMoreData. kRegErrorNoMoreItems
  // past the last subkey.
  virtual std::int32_t EnumKey(RegistryHandle key, std::uint32_t index, char* name,
                               std::uint32_t* name_size) = 0;
  // RegDeleteKeyA. The NT family refuses a key that has subkeys (kRegErrorAccessDenied);
  // Windows 9x deletes the whole tree.
  virtual std::int32_t DeleteKey(RegistryHandle key, const char* subkey) = 0;
  // RegDeleteValueA.
  virtual std::int32_t DeleteValue(RegistryHandle key, const char* name) = 0;
  // RegCloseKey; closing a predefined root succeeds and does nothing.
  virtual std::int32_t CloseKey(RegistryHandle key) = 0;
};

}  // namespace fwu::platform
