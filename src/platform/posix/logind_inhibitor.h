#pragma once

#include <string>

#include "platform/posix/update_safety.h"

namespace fwu::posix {

// What the inhibitor lock blocks: shutdown and reboot, suspend and hibernation, and the power,
// suspend, hibernate and lid keys.
inline constexpr const char* kInhibitedOperations =
    "shutdown:sleep:handle-power-key:handle-suspend-key:handle-hibernate-key:handle-lid-switch";

// Takes a blocking inhibitor lock from systemd-logind over the system bus. Without logind (no
// system bus, no service, or the request refused) the hold is empty and the warning says why.
Inhibition TakeLogindInhibitor(const std::string& who, const std::string& why);

}  // namespace fwu::posix
