#include "sysconfig/restore.h"

#include <optional>

#include "sysconfig/change_records.h"
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

}  // namespace

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

}  // namespace fwu
