#pragma once

#include "sysconfig/settings_pass.h"

namespace fwu {

// The Windows 9x device settings: the insert-notification and DMA flags of every running SCSI
// device and of every IDE controller and SCSI adapter instance. Each flag that is set is
// cleared.
void ChangeWin9xDeviceSettings(SettingsPass& pass);

// One flag: a value of 1 to 4 bytes of any type, set when its first byte is not 0. Clearing it
// zeroes that byte and keeps the value's type and length, so that writing the recorded byte
// back gives the value exactly as it was. Longer and empty values are passed over.
void ClearBinaryFlag(SettingsPass& pass, RegistryKey& key, const std::string& key_path,
                     std::string_view value_name);

}  // namespace fwu
