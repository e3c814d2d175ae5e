#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "sysconfig/registry_key.h"
#include "sysconfig/system_context.h"

namespace fwu {

// The per-user store: HKEY_CURRENT_USER\Software\Quentar_ODD\{application name}, with the
// change counter, the store origin and the change records below "Change".
inline constexpr std::string_view kSoftwareKey = "Software";
inline constexpr std::string_view kStoreParentName = "Quentar_ODD";
inline constexpr std::string_view kStoreParentPath = "Software\\Quentar_ODD";
inline constexpr std::string_view kChangedValue = "Changed";
inline constexpr std::string_view kChangeKey = "Change";
// The store itself, as a section below it.
inline constexpr std::string_view kStoreSection{};

std::string StorePath(std::string_view application_name);

// Store values are read and written one at a time, each through its own chain of keys:
// "Software" is opened, "Quentar_ODD", the application name and the section below it are
// created where missing (all with KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE), the one value
// is read or set, and every key is closed again. A read therefore creates the store.
std::int32_t WriteStoreValue(const SystemContext& context, std::string_view section,
                             std::string_view name, const RegistryValue& value);
std::int32_t ReadStoreNumber(const SystemContext& context, std::string_view section,
                             std::string_view name, std::uint32_t& number);

}  // namespace fwu
