#include "sysconfig/restorable_records.h"

#include <algorithm>
#include <array>
#include <span>
#include <string_view>

#include "sysconfig/device_setting_names.h"

namespace fwu {
namespace {

// What follows a pattern's fixed path.
enum class PathTail {
  kNone,         // the fixed path is the whole path
  kOneName,      // one key name
  kTwoNames,     // a class key name and an instance name
  kHardwareKey,  // a hardware key path that begins with "SCSI"
};

struct RecordPattern {
  std::string_view path;  // the fixed part; a tail follows it after a backslash
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

// Key names between backslashes, none of them empty.
std::size_t NameCount(std::string_view names) {
  if (names.empty() || names.front() == '\\' || names.back() == '\\' ||
      names.find("\\\\") != std::string_view::npos) {
    return 0;
  }
  return static_cast<std::size_t>(std::count(names.begin(), names.end(), '\\')) + 1;
}

bool TailMatches(PathTail tail, std::string_view rest) {
  if (tail != PathTail::kNone) {
    if (!rest.starts_with('\\')) {
      return false;
    }
    rest.remove_prefix(1);
  }
  switch (tail) {
    case PathTail::kNone:
      return rest.empty();
    case PathTail::kOneName:
      return NameCount(rest) == 1;
    case PathTail::kTwoNames:
      return NameCount(rest) == 2;
    case PathTail::kHardwareKey:
      return NameCount(rest) >= 1 && rest.starts_with(win9x_settings::kScsiHardwareKeyPrefix);
  }
  return false;
}

bool Matches(const RecordPattern& pattern, const ChangeRecord& record) {
  const std::string_view path = record.key_path;
  return record.type == pattern.type && path.starts_with(pattern.path) &&
         TailMatches(pattern.tail, path.substr(pattern.path.size())) &&
         std::find(pattern.value_names.begin(), pattern.value_names.end(), record.value_name) !=
             pattern.value_names.end();
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
  const std::span<const RecordPattern> patterns =
      is_nt ? std::span<const RecordPattern>(kNtPatterns)
            : std::span<const RecordPattern>(kWin9xPatterns);
  return std::any_of(patterns.begin(), patterns.end(),
                     [&](const RecordPattern& pattern) { return Matches(pattern, record); });
}

}  // namespace fwu
