#pragma once

#include <string>
#include <string_view>

#include "sysconfig/change_store.h"
#include "sysconfig/system_context.h"

namespace fwu {

// The registry state that carries a run across a restart of Windows: the machine-wide
// pending-restart marker, the per-user store (sysconfig/change_store.h) and the current user's
// Run entry. Registry failures are absorbed; each operation says what its caller then gets.
inline constexpr std::string_view kPendingRestartMarkerPath = "Software\\QUENTAR_ODD_KALDER";
inline constexpr std::string_view kPendingRestartMarkerName = "QUENTAR_ODD_KALDER";
inline constexpr std::string_view kRunKeyPath = "Software\\Microsoft\\Windows\\CurrentVersion\\run";

struct RunEntryProbe {
  // The Run entry's text: the program file's own path, quoted when it holds a blank, so that
  // the start after the restart finds the program whatever directory it was started from.
  std::string program_path;
  bool resumed = false;                // a Run entry was there at this start
  bool run_entry_unavailable = false;  // no Run entry can be written: start again by hand
};

// Before the drive search. False (refuse) when a restart is pending and the current user's
// hive has no per-user store: a different user has logged on; everything stays in place.
// Otherwise the marker is removed and the run continues.
bool CheckPendingRestart(const SystemContext& context, const ChangeStore& store);

// After the drive search found a drive to update: whether this start was arranged by a Run
// entry (which is then deleted, whatever its length or content), and whether one can be
// written. It cannot when the program file's path is unknown or the Run key cannot be opened
// or created; the current directory plays no part.
RunEntryProbe ProbeRunEntry(const SystemContext& context);

void WriteRunEntry(const SystemContext& context, std::string_view program_path);
void MarkPendingRestart(const SystemContext& context);

// Once nothing recorded is left to give back, the run that arranged a start after a restart is
// over: its pending-restart marker and the current user's Run entry go, should a deletion at
// the start have failed. A marker left behind would refuse every later start as another
// user's, and a Run entry would start the program at every logon.
void ForgetPendingRun(const SystemContext& context);

}  // namespace fwu
