#include "sysconfig/restore.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sysconfig/change_records.h"
#include "sysconfig/per_user_store.h"
#include "sysconfig/registry_key.h"
#include "sysconfig/restorable_records.h"

namespace fwu {
namespace {

// The old value in the form it is written back. A flag byte goes back into the value as it now
// stands, keeping its type and length; an empty value gets the single byte.
RegistryValue OldValue(const ChangeRecord& record, const RegistryValue& present) {
  switch (record.type) {
    case RecordType::kText:
      return RegistryValue::Text(record.text);
    case RecordType::kFlagByte: {
      RegistryValue flag =
          present.data.empty() ? RegistryValue{platform::kRegBinary, {0}} : present;
      flag.data[0] = static_cast<std::uint8_t>(record.number);
      return flag;
    }
    case RecordType::kNumber:
      break;
  }
  return RegistryValue::Number(record.number);
}

bool RestoreRecord(const SystemContext& context, const RegistryKey& change_key,
                   const std::string& name) {
  RegistryKey record_key(context.registry);
  if (record_key.Open(change_key.Handle(), name, platform::kKeyAllAccess) !=
      platform::kErrorSuccess) {
    return false;
  }
  const std::optional<ChangeRecord> record = ReadChangeRecord(record_key);
  if (!record || !IsRestorableRecord(*record, context.is_nt)) {
    return false;
  }
  RegistryKey device_key(context.registry);
  RegistryValue present;
  if (device_key.Open(platform::kHkeyLocalMachine, record->key_path, platform::kKeyAllAccess) !=
          platform::kErrorSuccess ||
      device_key.ReadValue(present, record->value_name) != platform::kErrorSuccess) {
    return false;
  }
  return device_key.WriteValue(OldValue(*record, present), record->value_name) ==
         platform::kErrorSuccess;
}

}  // namespace

void RestoreSystemSettings(const SystemContext& context) {
  RegistryKey change_key(context.registry);
  if (const std::int32_t status = OpenChangeKey(context, change_key);
      status != platform::kErrorSuccess) {
    // Without a "Change" key no record is left; a key that is there but cannot be read may
    // still hold some, and the store stays.
    if (status == platform::kRegErrorFileNotFound) {
      context.change_count = 0;
    }
    return;
  }
  // Newest first: when a setting was recorded more than once, its oldest record holds the value
  // from before the first change, and that is the one that must remain.
  std::vector<StoredRecord> records = StoredRecords(change_key);
  std::sort(records.begin(), records.end(),
            [](const StoredRecord& left, const StoredRecord& right) {
              return left.number > right.number;
            });
  for (const StoredRecord& record : records) {
    if (RestoreRecord(context, change_key, record.name) &&
        change_key.DeleteSubkey(record.name) == platform::kErrorSuccess) {
      --context.change_count;
    }
  }
  // What the store still holds decides whether it stays, not the count: a store whose
  // "Changed" fell short of its records, or went past them, must neither lose a record that
  // could not be given back nor outlive its last one.
  const std::size_t left = StoredRecords(change_key).size();
  if (left == 0) {
    context.change_count = 0;
  } else if (std::cmp_less(context.change_count, left)) {
    context.change_count = static_cast<std::int32_t>(
        std::min<std::size_t>(left, std::numeric_limits<std::int32_t>::max()));
  }
}

}  // namespace fwu
