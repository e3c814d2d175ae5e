#pragma once

#include "sysconfig/settings_pass.h"

namespace fwu {

// The NT-family device settings, wherever they occur: the ATAPI driver's DMA detection in every
// channel key, the timing modes of both positions in every IDE controller instance, and CD
// autorun. Texts and numbers are taken as settings only with their own types (REG_SZ and a
// 4-byte REG_DWORD), the types that are written back; a value of another type is passed over
// like one that cannot be read.
void ChangeNtDeviceSettings(SettingsPass& pass);

}  // namespace fwu
