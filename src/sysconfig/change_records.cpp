#include "sysconfig/change_records.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <limits>

#include "sysconfig/per_user_store.h"

namespace fwu {
namespace {

constexpr std::uint32_t kMaxFlagByte = 0xFF;
constexpr std::uint32_t kRecordNameCapacity = 512;
constexpr std::size_t kMaxRecordDigits = 10;

std::string ChangeKeyPath(const SystemContext& context) {
  return StorePath(context.application_name) + '\\' + std::string(kChangeKey);
}

// Whether the record key of this number is already in the store; nullopt when that cannot be
// told, and nothing may then be written under the number.
std::optional<bool> RecordExists(const SystemContext& context, std::int32_t number) {
  RegistryKey record_key(context.registry);
  const std::int32_t status =
      record_key.Open(platform::kHkeyCurrentUser,
                      ChangeKeyPath(context) + '\\' + RecordKeyName(number), platform::kKeyRead);
  if (status == platform::kErrorSuccess) {
    return true;
  }
  if (status == platform::kRegErrorFileNotFound) {
    return false;
  }
  return std::nullopt;
}

// The first number above the counter that no record key holds yet.
std::optional<std::int32_t> FreeRecordNumber(const SystemContext& context) {
  for (std::int32_t number = std::max(context.change_count, 0);
       number < std::numeric_limits<std::int32_t>::max();) {
    ++number;
    const std::optional<bool> exists = RecordExists(context, number);
    if (!exists) {
      return std::nullopt;
    }
    if (!*exists) {
      return number;
    }
  }
  return std::nullopt;
}

// A record key written only in part holds nothing the restore could use; it goes again, so that
// it neither keeps the store alive nor blocks its number.
void RemovePartialRecord(const SystemContext& context, std::int32_t number) {
  RegistryKey change_key(context.registry);
  if (change_key.Open(platform::kHkeyCurrentUser, ChangeKeyPath(context),
                      platform::kKeyAllAccess) == platform::kErrorSuccess) {
    change_key.DeleteSubkey(RecordKeyName(number));
  }
}

}  // namespace

std::string RecordKeyName(std::int32_t number) {
  std::array<char, 16> name{};
  std::snprintf(name.data(), name.size(), "%3d", static_cast<int>(number));
  return name.data();
}

std::string RecordSection(std::int32_t number) {
  std::string section(kChangeKey);
  section += '\\';
  section += RecordKeyName(number);
  return section;
}

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

std::int32_t OpenChangeKey(const SystemContext& context, RegistryKey& change_key) {
  if (context.application_name.empty()) {
    return platform::kRegErrorInvalidParameter;
  }
  return change_key.Open(platform::kHkeyCurrentUser, ChangeKeyPath(context), platform::kKeyRead);
}

std::vector<StoredRecord> StoredRecords(const RegistryKey& change_key) {
  std::vector<StoredRecord> records;
  std::string name;
  for (std::uint32_t index = 0;
       change_key.EnumSubkey(index, name, kRecordNameCapacity) == platform::kErrorSuccess;
       ++index) {
    if (const std::optional<std::int64_t> number = RecordNumberOf(name)) {
      records.push_back(StoredRecord{*number, name});
    }
  }
  return records;
}

std::int32_t HighestStoredRecord(const SystemContext& context) {
  RegistryKey change_key(context.registry);
  if (OpenChangeKey(context, change_key) != platform::kErrorSuccess) {
    return 0;
  }
  std::int64_t highest = 0;
  for (const StoredRecord& stored : StoredRecords(change_key)) {
    if (stored.number <= std::numeric_limits<std::int32_t>::max()) {
      highest = std::max(highest, stored.number);
    }
  }
  return static_cast<std::int32_t>(highest);
}

bool WriteChangeRecord(const SystemContext& context, const ChangeRecord& record) {
  const std::optional<std::int32_t> free_number = FreeRecordNumber(context);
  if (!free_number) {
    return false;
  }
  const std::int32_t number = *free_number;
  const std::string section = RecordSection(number);
  const RegistryValue old_value = record.type == RecordType::kText
                                      ? RegistryValue::Text(record.text)
                                      : RegistryValue::Number(record.number);
  const bool written =
      WriteStoreValue(context, section, kSubKeyNameValue, RegistryValue::Text(record.key_path)) ==
          platform::kErrorSuccess &&
      WriteStoreValue(context, section, kValueNameValue, RegistryValue::Text(record.value_name)) ==
          platform::kErrorSuccess &&
      WriteStoreValue(context, section, kValueTypeValue,
                      RegistryValue::Number(static_cast<std::uint32_t>(record.type))) ==
          platform::kErrorSuccess &&
      WriteStoreValue(context, section, kValueValue, old_value) == platform::kErrorSuccess &&
      WriteStoreValue(context, kStoreSection, kChangedValue,
                      RegistryValue::Number(static_cast<std::uint32_t>(number))) ==
          platform::kErrorSuccess;
  if (written) {
    context.change_count = number;
  } else {
    RemovePartialRecord(context, number);
  }
  return written;
}

std::optional<ChangeRecord> ReadChangeRecord(const RegistryKey& record_key) {
  ChangeRecord record;
  std::uint32_t type = 0;
  if (record_key.ReadString(record.key_path, kSubKeyNameValue, kRecordTextCapacity) !=
          platform::kErrorSuccess ||
      record_key.ReadString(record.value_name, kValueNameValue, kRecordTextCapacity) !=
          platform::kErrorSuccess ||
      record_key.ReadDword(type, kValueTypeValue) != platform::kErrorSuccess) {
    return std::nullopt;
  }
  record.type = static_cast<RecordType>(type);
  switch (record.type) {
    case RecordType::kText:
      if (record_key.ReadString(record.text, kValueValue, kRecordTextCapacity) ==
          platform::kErrorSuccess) {
        return record;
      }
      break;
    case RecordType::kFlagByte:
    case RecordType::kNumber:
      if (record_key.ReadDword(record.number, kValueValue) == platform::kErrorSuccess &&
          (record.type == RecordType::kNumber || record.number <= kMaxFlagByte)) {
        return record;
      }
      break;
  }
  return std::nullopt;
}

}  // namespace fwu
