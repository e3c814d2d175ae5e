#pragma once

#include <cstdint>

#include "platform/registry.h"

namespace fwu::win32 {

// The registry through the Reg*A calls. The predefined roots keep the 32-bit values the core
// knows them by; on 64-bit Windows the system's own root handles are those values sign-extended,
// so they are translated at this seam.
class Win32Registry final : public platform::Registry {
 public:
  std::int32_t OpenKey(platform::RegistryHandle parent, const char* path, std::uint32_t access,
                       platform::RegistryHandle& key) override;
  std::int32_t CreateKey(platform::RegistryHandle parent, const char* path, std::uint32_t access,
                         platform::RegistryHandle& key) override;
  std::int32_t QueryValue(platform::RegistryHandle key, const char* name, std::uint32_t* type,
                          std::uint8_t* data, std::uint32_t* size) override;
  std::int32_t SetValue(platform::RegistryHandle key, const char* name, std::uint32_t type,
                        const std::uint8_t* data, std::uint32_t size) override;
  std::int32_t EnumKey(platform::RegistryHandle key, std::uint32_t index, char* name,
                       std::uint32_t* name_size) override;
  std::int32_t DeleteKey(platform::RegistryHandle key, const char* subkey) override;
  std::int32_t DeleteValue(platform::RegistryHandle key, const char* name) override;
  std::int32_t CloseKey(platform::RegistryHandle key) override;
};

}  // namespace fwu::win32
