#pragma once

#include <string>
#include <string_view>

namespace fwu {

// Names the per-user store and the Run entry when the program file's name cannot be had.
inline constexpr std::string_view kFallbackApplicationName = "FirmwareUpdate";

// The program file's name without its directory and without its extension
// ("C:\Tools\XTM7731UP.exe" gives "XTM7731UP"); never empty.
std::string ApplicationNameOf(std::string_view program_file_path);

}  // namespace fwu
