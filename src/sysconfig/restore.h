#pragma once

#include "sysconfig/system_context.h"

namespace fwu {

// Writes every usable change record of the per-user store back into its device setting and
// deletes the record, lowering the change counter by one each time. The newest record goes
// first, so that the oldest record of a setting, the one from before any change, is what
// remains; keys below "Change" whose names are no record numbers are left alone. A record stays,
// and the counter with it, when it is not one the change pass of this platform family writes, when
// its device value has gone (nothing is created in the device settings), or when the write-back or
// the deletion fails; a later restore tries it again. "Changed" is not written: the caller
// removes the store when the counter is 0, and the counter ends at 0 exactly when no record is
// left, also when "Changed" was above or below the records the store held.
void RestoreSystemSettings(const SystemContext& context);

}  // namespace fwu
