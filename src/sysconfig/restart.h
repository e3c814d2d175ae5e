#pragma once

#include <cstdint>

#include "platform/system_services.h"

namespace fwu {

inline constexpr std::uint32_t kExitWindowsReboot = 2;  // EWX_REBOOT, without the force flag

// Asks Windows to restart, first enabling the shutdown privilege on the NT family. Returns the
// request's result, or the result of the privilege step that failed (then nothing is asked).
int RestartWindows(platform::SystemServices& system, bool is_nt);

}  // namespace fwu
