#pragma once

#include <cstdint>

#include "support/scripted_aspi_library.h"
#include "support/scripted_pass_through_driver.h"
#include "support/tape.h"

namespace fwu::fuzz {

// The machine a recording plays: the platform family decides the transport, as at start-up.
struct DriveScenario {
  bool nt_family = true;
  int code_page = 1252;
  AspiScenario aspi;
  PassThroughScenario pass_through;
  int selection = 0;      // the drive the user picks in the main dialog; -1 for none
  bool download = false;  // the user starts the update and the worker writes the image
};

// What the program does with the drives it finds, from start-up to Update Start, over the
// scripted ASPI library or pass-through driver: the drive search (with its enumeration), the
// main dialog's scan, the selection-time check of the drive the user picks, the start-time check
// and the update worker. Every rule the seams keep, and the checks' own promises, are held; a
// broken one aborts. Without a scenario the tape is read; with one it is recorded.
void RunDriveDiscovery(Tape& tape, const DriveScenario* scenario = nullptr);

}  // namespace fwu::fuzz
