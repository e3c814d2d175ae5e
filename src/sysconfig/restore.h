#pragma once

#include <string>

#include "sysconfig/registry_key.h"
#include "sysconfig/system_context.h"

namespace fwu {

// Gives back the setting one record of an open "Change" key holds: writes the old value into
// the device setting it names. False, and nothing written, when the record key cannot be opened
// or read whole, when it is not a record the change pass of this platform family writes, or
// when its device key or value has gone (nothing is created in the device settings); false too
// when the write-back fails.
bool RestoreRecord(const SystemContext& context, const RegistryKey& change_key,
                   const std::string& name);

}  // namespace fwu
