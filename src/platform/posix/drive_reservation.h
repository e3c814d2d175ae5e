#pragma once

#include <filesystem>
#include <string>

#include "platform/posix/device_io.h"
#include "platform/posix/update_safety.h"

namespace fwu::posix {

// Where the system shows what the safety measures read and write.
struct SystemPaths {
  std::filesystem::path sysfs = "/sys";
  std::filesystem::path mountinfo = "/proc/self/mountinfo";
  std::filesystem::path devices = "/dev";
  std::filesystem::path power_supplies = "/sys/class/power_supply";
  std::filesystem::path instance_lock = "/run/lock/xtm7731-update.lock";
};

// Reserves the drive behind a device path. A block device is refused while a file system on it
// is mounted, then opened exclusively, and for an update its media-change polling
// (events_poll_msecs) is set to 0 until the hold is given back. A generic (sg) node is reserved
// through its block device where it has one. What cannot apply to the path (an ordinary file, a
// node without a block device) is skipped with a note.
Reservation ReserveDrive(DeviceIo& io, const SystemPaths& paths, const std::string& device,
                         ReserveFor purpose);

}  // namespace fwu::posix
