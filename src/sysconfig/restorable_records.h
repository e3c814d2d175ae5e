#pragma once

#include "sysconfig/change_records.h"

namespace fwu {

// Whether the change pass of the platform family can have written this record: one of its key
// paths (with the instance, channel or hardware-key names filled in), one of the value names
// of that key, and the record type it writes for them, with texts short enough for the restore
// to read back. Only such records are written back; every other record is left in the store,
// and no change pass changes a setting it could not give back.
bool IsRestorableRecord(const ChangeRecord& record, bool is_nt);

}  // namespace fwu
