#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace fwu::sim {

// The predefined roots of the simulated registry by the names Windows gives them.
struct RegistryRootName {
  platform::RegistryHandle root;
  std::string_view name;
};
inline constexpr std::array<RegistryRootName, 3> kRegistryRootNames = {{
    {platform::kHkeyLocalMachine, "HKEY_LOCAL_MACHINE"},
    {platform::kHkeyCurrentUser, "HKEY_CURRENT_USER"},
    {platform::kHkeyDynData, "HKEY_DYN_DATA"},
}};

// Splits "A\B\C" into its names; a trailing backslash is tolerated, a leading one is not
// (empty then). A null path names the key itself.
std::optional<std::vector<std::string>> SplitRegistryPath(const char* path);
// The same for the paths the simulation is set up with, where a leading backslash is a fault
// of the caller: throws std::invalid_argument.
std::vector<std::string> SplitRegistryPathOrThrow(std::string_view path);

}  // namespace fwu::sim
