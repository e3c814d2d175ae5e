#include "sysconfig/change_records.h"

#include <array>
#include <cstdio>

namespace fwu {
namespace {

constexpr std::uint32_t kMaxFlagByte = 0xFF;
constexpr std::uint32_t kRecordNameCapacity = 512;
constexpr std::size_t kMaxRecordDigits = 10;

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
