#pragma once

#include "sysconfig/change_store.h"
#include "sysconfig/system_context.h"

namespace fwu {

// The device settings of the running platform family that would disturb a firmware download.

// Whether any of them must change; writes nothing.
bool SystemSettingsNeedChange(const SystemContext& context);

// The same answer, and each setting that must change is recorded in the store, then changed.
// The caller has loaded the store's counter before; "Changed" follows every record, and the
// caller saves the counter again afterwards.
bool ChangeSystemSettings(const SystemContext& context, ChangeStore& store);

}  // namespace fwu
