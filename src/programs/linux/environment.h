#pragma once

#include <cstdint>
#include <istream>
#include <ostream>

#include "platform/clock.h"
#include "platform/locale.h"
#include "platform/posix/interruptions.h"
#include "platform/posix/update_safety.h"
#include "platform/scsi_command_driver.h"
#include "platform/threads.h"

namespace fwu::linux_program {

// Where the program talks to its user.
struct Terminal {
  std::istream& in;
  std::ostream& out;
  std::ostream& err;
  bool out_is_terminal = false;  // a progress bar redraws in place only on a terminal
};

// Everything the program needs of the system, built by main and handed down by reference.
struct Environment {
  platform::ScsiCommandDriver& drives;
  platform::Clock& clock;
  platform::Threads& threads;
  const platform::Locale& locale;
  posix::UpdateSafety& safety;
  posix::Interruptions& interruptions;
  Terminal terminal;
  // The clock's waits are this many times shorter than asked (a test build); the time-left
  // estimate follows.
  std::uint32_t wait_divisor = 1;
};

}  // namespace fwu::linux_program
