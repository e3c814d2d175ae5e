#pragma once

#include <string>
#include <string_view>

#include "sysconfig/system_context.h"

namespace fwu {

// The registry state that carries a run across a restart of Windows: the machine-wide
// pending-restart marker, the per-user store and the current user's Run entry. Registry
// failures are absorbed; each operation says what its caller then gets.
inline constexpr std::string_view kPendingRestartMarkerPath = "Software\\QUENTAR_ODD_KALDER";
inline constexpr std::string_view kPendingRestartMarkerName = "QUENTAR_ODD_KALDER";
inline constexpr std::string_view kRunKeyPath = "Software\\Microsoft\\Windows\\CurrentVersion\\run";
inline constexpr std::string_view kStoreOriginValue = "Quentar_ODD_Add";

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
bool CheckPendingRestart(const SystemContext& context);

// After the drive search found a drive to update: whether this start was arranged by a Run
// entry (which is then deleted, whatever its length or content), and whether one can be
// written. It cannot when the program file's path is unknown or the Run key cannot be opened
// or created; the current directory plays no part.
RunEntryProbe ProbeRunEntry(const SystemContext& context);

// Whether the store parent existed before this program added its store: false when there is
// no parent; true when the store is missing or has no origin value; else the origin value is 1.
bool ReadStoreOrigin(const SystemContext& context);

// The change counter: the larger of "Changed" and the highest record number in the store.
// "Changed" counts as 0 when absent, or when it holds more than the counter can count (no run
// writes such a value). Creates the store when it is missing.
void LoadChangeCount(const SystemContext& context);
void SaveChangeCount(const SystemContext& context);

void WriteRunEntry(const SystemContext& context, std::string_view program_path);
void MarkPendingRestart(const SystemContext& context);
void SaveStoreOrigin(const SystemContext& context, bool store_parent_preexisting);

// Removes the per-user store with its records; when this program created the store parent,
// the parent goes too, unless another program file's store is still in it.
void RemoveStore(const SystemContext& context, bool store_parent_preexisting);

}  // namespace fwu
