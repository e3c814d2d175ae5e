#include "sysconfig/restorable_records.h"

#include <algorithm>
#include <array>
#include <span>
#include <string_view>
#include <vector>

#include "sysconfig/device_setting_names.h"

namespace fwu {
namespace {

// What follows a pattern's root key.
enum class PathTail {
  kNone,         // the root is the key itself
  kOneName,      // one key below the root
  kTwoNames,     // a class key and an instance below it
  kHardwareKey,  // a hardware key whose first name begins with "SCSI"
};

struct RecordPattern {
  std::string_view root;
  PathTail tail;
  std::span<const std::string_view> value_names;
  RecordType type;
};

constexpr std::array<std::string_view, 1> kDriverParameterNames = {nt_settings::kDriverParameter};
constexpr std::array<std::string_view, 1> kAutorunNames = {nt_settings::kAutorun};

constexpr std::array<RecordPattern, 3> kNtPatterns = {{
    {nt_settings::kAtapiParametersPath, PathTail::kOneName, kDriverParameterNames,
     RecordType::kText},
    {nt_settings::kControlClassPath, PathTail::kTwoNames, nt_settings::kTimingValueNames,
     RecordType::kNumber},
    {nt_settings::kCdromPath, PathTail::kNone, kAutorunNames, RecordType::kNumber},
}};

constexpr std::array<RecordPattern, 3> kWin9xPatterns = {{
    {win9x_settings::kEnumPath, PathTail::kHardwareKey, win9x_settings::kScsiDeviceFlags,
     RecordType::kFlagByte},
    {win9x_settings::kControllerClassPaths[0], PathTail::kOneName, win9x_settings::kControllerFlags,
     RecordType::kFlagByte},
    {win9x_settings::kControllerClassPaths[1], PathTail::kOneName, win9x_settings::kControllerFlags,
     RecordType::kFlagByte},
}};

char Upper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Key and value names are compared as the registry compares them: without regard to case.
bool SameName(std::string_view left, std::string_view right) {
  return std::equal(left.begin(), left.end(), right.begin(), right.end(),
                    [](char a, char b) { return Upper(a) == Upper(b); });
}

// The keys a path names, as the registry resolves it: an empty name between backslashes, or
// after the last one, names no key of its own.
std::vector<std::string_view> KeyNames(std::string_view path) {
  std::vector<std::string_view> names;
  std::size_t start = 0;
  while (start < path.size()) {
    const std::size_t end = std::min(path.find('\\', start), path.size());
    if (end > start) {
      names.push_back(path.substr(start, end - start));
    }
    start = end + 1;
  }
  return names;
}

bool TailMatches(PathTail tail, std::span<const std::string_view> below_root) {
  switch (tail) {
    case PathTail::kNone:
      return below_root.empty();
    case PathTail::kOneName:
      return below_root.size() == 1;
    case PathTail::kTwoNames:
      return below_root.size() == 2;
    case PathTail::kHardwareKey:
      return !below_root.empty() &&
             SameName(below_root.front().substr(0, win9x_settings::kScsiHardwareKeyPrefix.size()),
                      win9x_settings::kScsiHardwareKeyPrefix);
  }
  return false;
}

bool Matches(const RecordPattern& pattern, const ChangeRecord& record,
             std::span<const std::string_view> key_names) {
  const std::vector<std::string_view> root = KeyNames(pattern.root);
  return record.type == pattern.type && key_names.size() >= root.size() &&
         std::equal(root.begin(), root.end(), key_names.begin(), SameName) &&
         TailMatches(pattern.tail, key_names.subspan(root.size())) &&
         std::any_of(pattern.value_names.begin(), pattern.value_names.end(),
                     [&](std::string_view name) { return SameName(name, record.value_name); });
}

}  // namespace

bool IsRestorableRecord(const ChangeRecord& record, bool is_nt) {
  // The restore reads each text of a record into kRecordTextCapacity bytes with its terminating
  // zero. A longer one is written whole but never read back, and its setting would stay changed.
  if (record.key_path.size() >= kRecordTextCapacity ||
      record.value_name.size() >= kRecordTextCapacity ||
      record.text.size() >= kRecordTextCapacity) {
    return false;
  }
  const std::vector<std::string_view> key_names = KeyNames(record.key_path);
  const std::span<const RecordPattern> patterns =
      is_nt ? std::span<const RecordPattern>(kNtPatterns)
            : std::span<const RecordPattern>(kWin9xPatterns);
  return std::any_of(patterns.begin(), patterns.end(), [&](const RecordPattern& pattern) {
    return Matches(pattern, record, key_names);
  });
}

}  // namespace fwu
