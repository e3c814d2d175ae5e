#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/system_services.h"

namespace fwu::sim {

// Windows versions by the names a scenario gives them ("98se", "me", "nt4", "2000", "xp",
// "win32s"); empty for an unknown name.
std::optional<platform::OsVersion> WindowsVersionNamed(std::string_view name);
std::string WindowsNameOf(const platform::OsVersion& version);

}  // namespace fwu::sim
