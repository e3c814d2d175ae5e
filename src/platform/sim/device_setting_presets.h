#pragma once

#include "platform/sim/sim_registry.h"

namespace fwu::sim {

// Device settings as a Windows of the family has them, one of each kind the program changes
// before a download: ATAPI DMA detection, IDE timing modes and CD autorun on the NT family;
// the running SCSI device with its insert-notification and DMA flags, and an IDE controller
// instance with its flags, on Windows 9x. With need_change every one of them is in the state
// that the program must change; otherwise every one is already suitable.
void AddDeviceSettings(SimRegistry& registry, bool is_nt, bool need_change);

}  // namespace fwu::sim
