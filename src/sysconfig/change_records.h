#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sysconfig/registry_key.h"

namespace fwu {

// How a record holds the old value ("Value_Type").
enum class RecordType : std::uint32_t {
  kText = 1,      // the old REG_SZ text, in "Value" as REG_SZ
  kFlagByte = 3,  // the first byte of a Windows 9x flag, in "Value" as a REG_DWORD of 0..255
  kNumber = 4,    // the old REG_DWORD, in "Value" as REG_DWORD
};

// One device setting as it was before the system changed it.
struct ChangeRecord {
  std::string key_path;  // below HKEY_LOCAL_MACHINE, no leading backslash
  std::string value_name;
  RecordType type = RecordType::kNumber;
  std::string text;          // kText
  std::uint32_t number = 0;  // kFlagByte and kNumber

  bool operator==(const ChangeRecord&) const = default;
};

// The record's values, in the order they are written.
inline constexpr std::string_view kSubKeyNameValue = "SubKey_Name";
inline constexpr std::string_view kValueNameValue = "Value_Name";
inline constexpr std::string_view kValueTypeValue = "Value_Type";
inline constexpr std::string_view kValueValue = "Value";
// Readers take texts of at most 127 characters.
inline constexpr std::uint32_t kRecordTextCapacity = 128;

// One record is the key "Change\{number}" of the per-user store (sysconfig/change_store.h),
// with the four values below.
inline constexpr std::string_view kChangeKey = "Change";

// "  1" .. " 10" .. "999", then "1000": blank-padded so that the registry's sorted order of the
// record keys is their numeric order up to 999.
std::string RecordKeyName(std::int32_t number);
// "Change\  1": the record's section below the store.
std::string RecordSection(std::int32_t number);

// The number of a record key ("  7" is 7, "1000" is 1000): blanks, then at most ten digits;
// nullopt for a key of another name.
std::optional<std::int64_t> RecordNumberOf(std::string_view name);

// A key below "Change" whose name is a record number.
struct StoredRecord {
  std::int64_t number = 0;
  std::string name;
};

// The record keys below an open "Change" key, in the registry's order; keys of other names are
// not records and are passed over.
std::vector<StoredRecord> StoredRecords(const RegistryKey& change_key);

// The record held by an open record key; nullopt when a value is missing, too long or of
// another type than the record writes, or the type is not one of the three.
std::optional<ChangeRecord> ReadChangeRecord(const RegistryKey& record_key);

}  // namespace fwu
