#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace fwu {

// One row of a code table. A table ends with a row of code 0 whose text is what a code without a
// row of its own falls back to (empty where the lookup formats its own "unknown" text instead).
struct CodeText {
  std::uint8_t code;
  std::string_view text;
};

// One row of an additional-sense-code table. ASCQ kAnyAscq stands for every ASCQ of the ASC that
// no earlier row names; the table ends with the row kSenseTableEnd/kAnyAscq.
struct SenseCodeText {
  std::uint8_t asc;
  std::uint8_t ascq;
  std::string_view text;
};

inline constexpr std::uint8_t kAnyAscq = 0xFF;
inline constexpr std::uint8_t kSenseTableEnd = 0xFF;

// Every text fits a 64-byte NUL-terminated field.
inline constexpr std::size_t kMaxStatusTextLength = 63;

// The texts one transport describes its failures with. The two transports share most tables but
// differ in the target statuses they know and in the sense codes they can name.
struct StatusTextSet {
  std::span<const CodeText> completion_codes;
  std::span<const CodeText> host_statuses;
  std::span<const CodeText> target_statuses;
  std::span<const CodeText> sense_keys;
  std::span<const CodeText> drive_errors;
  std::span<const SenseCodeText> sense_codes;
};

extern const StatusTextSet kAspiTexts;         // the ASPI transport's set
extern const StatusTextSet kPassThroughTexts;  // the pass-through transport's set

// Lookups. None of them fails: a code without a row gets its table's fallback text, or, for the
// adapter and target statuses, "Unknown Ha status:%02X" / "Unknown Target status:%02X" with the
// code. The sense key is 0..15 (the low four bits of sense byte 2).
std::string CompletionCodeText(const StatusTextSet& set, std::uint8_t code);
std::string HostStatusText(const StatusTextSet& set, std::uint8_t status);
std::string TargetStatusText(const StatusTextSet& set, std::uint8_t status);
std::string SenseKeyText(const StatusTextSet& set, std::uint8_t sense_key);
std::string DriveErrorCodeText(const StatusTextSet& set, std::uint8_t code);

// Rows are tried in table order and the first that applies wins, so an exact row placed before a
// wildcard row of the same ASC takes precedence; a wildcard row appends the ASCQ in decimal.
std::string AscAscqText(const StatusTextSet& set, std::uint8_t asc, std::uint8_t ascq);

}  // namespace fwu
