#pragma once

#include "sysconfig/settings_pass.h"
#include "sysconfig/system_context.h"

namespace fwu {

// The device settings of the running platform family that would disturb a firmware download.
// kCheck changes nothing and answers whether anything must change; kRecord answers the same,
// records each old value in the per-user store and changes the setting. Before kRecord the
// caller has loaded the change counter; "Changed" follows every record, and the caller saves
// the counter again afterwards.
bool ChangeSystemSettings(const SystemContext& context, ChangeMode mode);

}  // namespace fwu
