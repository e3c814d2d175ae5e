#pragma once

#include <filesystem>

#include "platform/posix/update_safety.h"

namespace fwu::posix {

// One copy of the program at a time on the system, as the Windows program's named mutex keeps
// it: a second copy would send its own commands to a drive in the middle of a download. The
// lock is an flock on a file that every user can open; it goes with the process, however that
// ends. Where the file cannot be had at all, the program goes on with a note.
Reservation LockSingleInstance(const std::filesystem::path& lock_file);

}  // namespace fwu::posix
