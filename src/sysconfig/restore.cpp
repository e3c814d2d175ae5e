#include "sysconfig/restore.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sysconfig/change_records.h"
#include "sysconfig/per_user_store.h"
#include "sysconfig/registry_key.h"
#include "sysconfig/restorable_records.h"

namespace fwu {
namespace {

constexpr std::uint32_t kRecordNameCapacity = 512;
constexpr std::size_t kMaxRecordDigits = 10;

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

// The number of a record key ("  7" is 7); nullopt for a key of another name.
std::optional<std::int64_t> RecordNumberOf(std::string_view name) {
  const std::size_t digits = name.find_first_not_of(' ');
  if (digits == std::string_view::npos || name.size() - digits > kMaxRecordDigits) {
    return std::nullopt;
  }
  std::int64_t number = 0;
  for (const char digit : name.substr(digits)) {
    if (digit < '0' || digit > '9') {
      return std::nullopt;
    }
    number = number * 10 + (digit - '0');
  }
  return number;
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
  const std::string change_path =
      StorePath(context.application_name) + '\\' + std::string(kChangeKey);
  if (context.application_name.empty() ||
      change_key.Open(platform::kHkeyCurrentUser, change_path, platform::kKeyRead) !=
          platform::kErrorSuccess) {
    return;
  }
  // Newest first: when a setting was recorded more than once, its oldest record holds the value
  // from before the first change, and that is the one that must remain.
  std::vector<std::pair<std::int64_t, std::string>> records;
  std::string name;
  for (std::uint32_t index = 0;
       change_key.EnumSubkey(index, name, kRecordNameCapacity) == platform::kErrorSuccess;
       ++index) {
    if (const std::optional<std::int64_t> number = RecordNumberOf(name)) {
      records.emplace_back(*number, name);
    }
  }
  std::sort(records.begin(), records.end(), std::greater<>());
  for (const auto& [number, record_name] : records) {
    if (RestoreRecord(context, change_key, record_name) &&
        change_key.DeleteSubkey(record_name) == platform::kErrorSuccess) {
      --context.change_count;
    }
  }
}

}  // namespace fwu
