#include "sysconfig/change_records.h"

#include <array>
#include <cstdio>
#include <limits>

#include "sysconfig/per_user_store.h"

namespace fwu {
namespace {

constexpr std::uint32_t kMaxFlagByte = 0xFF;

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

bool WriteChangeRecord(const SystemContext& context, const ChangeRecord& record) {
  if (context.change_count == std::numeric_limits<std::int32_t>::max()) {
    return false;
  }
  const std::int32_t number = context.change_count + 1;
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
