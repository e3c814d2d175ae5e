#pragma once

#include "sysconfig/change_records.h"

namespace fwu {

// Whether the record names a setting the change pass of the platform family can change: a key
// at the depth the pass works below one of its root keys (an instance, a channel, a hardware
// key), one of the value names of that key, and the record type the pass writes for them, with
// texts short enough for the restore to read back. Keys and values are told apart as the
// registry tells them apart: names without regard to case, a path by the keys it names, so a
// hardware key written with a doubled or trailing backslash is the key the pass opened. Only
// such records are written back; every other record is left in the store, and no change pass
// changes a setting it could not give back.
bool IsRestorableRecord(const ChangeRecord& record, bool is_nt);

}  // namespace fwu
