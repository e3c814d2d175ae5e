#pragma once

#include "sysconfig/change_store.h"
#include "sysconfig/system_context.h"

namespace fwu {

// For a start that finds the drive already up to date. Without this, settings changed by a run
// that lost power after the download, or whose restore left records behind, would stay changed
// for good, and the Run entry of such a run would start the program at every logon to no end.
// Gives back what the store records, as the update path does after its dialog; once no record
// is left, the store goes, and so do the Run entry and the pending-restart marker of the run.
// Nothing is restarted: the settings take effect at the next restart of Windows, which the
// user has not been told of.
void RestoreLeftoverChanges(const SystemContext& context, ChangeStore& store);

}  // namespace fwu
