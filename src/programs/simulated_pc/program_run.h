#pragma once

#include <optional>
#include <span>

#include "app/drive_search.h"
#include "app/run_outcome.h"
#include "drive/trace.h"
#include "platform/dialog_host.h"
#include "platform/sim/simulated_pc.h"
#include "update/firmware_image.h"

// The program on the simulated PC: one start of it, from load to process end, and what the
// PC's drives know of the firmware it carries.
namespace fwu::sim {

// The firmware the program carries, as the PC's drives take it: revision 1033, build 32.
KnownFirmware CarriedFirmware();

struct ProgramRun {
  RunOutcome outcome = RunOutcome::kRefused;
  int exit_code = 0;
  bool restart_requested = false;
  // What the drive search found; empty when the run ended before it.
  std::optional<DriveSearchResult> search;
};

// One start of the program on the PC, from load to process end.
ProgramRun RunProgram(SimulatedPc& pc, platform::DialogHost& dialogs, TraceSink* trace = nullptr,
                      std::span<const FirmwareImage> images = ImageList());

// Whether the current user's Run entry would start the program at logon: a value named after
// the program whose text, quoted or not, is the program file's path.
bool RunEntryStartsProgram(const SimulatedPc& pc);

}  // namespace fwu::sim
