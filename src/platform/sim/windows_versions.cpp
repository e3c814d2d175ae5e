#include "platform/sim/windows_versions.h"

#include <array>

namespace fwu::sim {
namespace {

struct NamedVersion {
  std::string_view name;
  std::string_view description;
  platform::OsVersion version;
};

const std::array<NamedVersion, 6>& NamedVersions() {
  static const std::array<NamedVersion, 6> versions{{
      {"98se", "Windows 98 Second Edition", {4, 10, 2222, platform::kPlatformWindows9x, " A "}},
      {"me", "Windows Me", {4, 90, 3000, platform::kPlatformWindows9x, " "}},
      {"nt4", "Windows NT 4.0", {4, 0, 1381, platform::kPlatformWindowsNt, "Service Pack 6"}},
      {"2000", "Windows 2000", {5, 0, 2195, platform::kPlatformWindowsNt, "Service Pack 4"}},
      {"xp", "Windows XP", {5, 1, 2600, platform::kPlatformWindowsNt, "Service Pack 2"}},
      {"win32s", "Win32s", {1, 30, 0, platform::kPlatformWin32s, ""}},
  }};
  return versions;
}

}  // namespace

std::optional<platform::OsVersion> WindowsVersionNamed(std::string_view name) {
  for (const NamedVersion& named : NamedVersions()) {
    if (named.name == name) {
      return named.version;
    }
  }
  return std::nullopt;
}

std::string WindowsNameOf(const platform::OsVersion& version) {
  for (const NamedVersion& named : NamedVersions()) {
    if (named.version.platform_id == version.platform_id && named.version.major == version.major &&
        named.version.minor == version.minor) {
      return std::string(named.description);
    }
  }
  return "Windows " + std::to_string(version.major) + "." + std::to_string(version.minor);
}

}  // namespace fwu::sim
