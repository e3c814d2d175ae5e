#pragma once

#include <cstdint>
#include <limits>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "emulator/diagnostic_page.h"
#include "emulator/sense_code.h"

namespace fwu::emulator {

// Which commands a fault rule counts. Every field left empty matches anything.
struct FaultMatch {
  std::optional<std::uint8_t> operation_code{};
  std::optional<std::uint8_t> sub_command{};  // of page 0x88 carried by SEND DIAGNOSTIC
  std::optional<std::uint8_t> argument{};

  static FaultMatch AnyCommand() { return {}; }
  static FaultMatch Command(std::uint8_t operation_code);
  static FaultMatch Page(std::uint8_t sub_command);
  static FaultMatch Page(std::uint8_t sub_command, std::uint8_t argument);

  bool Matches(std::span<const std::uint8_t> cdb, std::optional<PageCommand> page) const;
};

enum class FaultKind : std::uint8_t {
  kCheckCondition,  // CHECK CONDITION with the given sense and drive error byte
  kStatus,          // any other status byte, no sense
  kNoCompletion,    // the device never answers; the host times out
  kShortData,       // the command runs, but data in stops after `amount` bytes
  kDuration,        // the command runs and takes `amount` ms
};

struct FaultAction {
  FaultKind kind = FaultKind::kCheckCondition;
  SenseCode sense{};
  std::uint8_t drive_error = 0;
  std::uint8_t status = 0;
  std::uint32_t amount = 0;

  static FaultAction CheckCondition(SenseCode sense, std::uint8_t drive_error = 0);
  static FaultAction UnitAttention(SenseCode sense = sense::kPowerOnReset);
  static FaultAction Status(std::uint8_t status);
  static FaultAction NoCompletion();
  static FaultAction ShortData(std::uint32_t bytes);
  static FaultAction Duration(std::uint32_t milliseconds);

  // The drive does not execute a command whose outcome the fault decides.
  bool DecidesOutcome() const;
};

inline constexpr std::uint32_t kForever = std::numeric_limits<std::uint32_t>::max();

// Hits matching commands number `first`, `first` + 1, ... (counting from 1, every attempt
// counted), `count` of them in a row, or all from `first` on with kForever.
struct FaultRule {
  FaultMatch match{};
  FaultAction action{};
  std::uint32_t first = 1;
  std::uint32_t count = 1;

  static FaultRule UnitAttention(FaultMatch match, std::uint32_t times,
                                 SenseCode sense = sense::kPowerOnReset);
};

// What the rules that hit one attempt do to it. The earliest added rule wins where two of the
// same sort hit.
struct FaultEffect {
  std::optional<FaultAction> outcome;  // CHECK CONDITION, other status, or no completion
  std::optional<std::uint32_t> data_in_limit;
  std::optional<std::uint32_t> duration_ms;
};

// The faults a test plants in the drive. Tests add rules while another thread may execute
// commands, so the plan guards itself.
class FaultPlan {
 public:
  void Add(const FaultRule& rule);
  void Clear();
  // Counts the attempt against every rule that matches it and returns what the hits do.
  FaultEffect Consult(std::span<const std::uint8_t> cdb, std::optional<PageCommand> page);

 private:
  struct Entry {
    FaultRule rule{};
    std::uint32_t matched = 0;
  };
  std::mutex mutex_;
  std::vector<Entry> entries_;
};

}  // namespace fwu::emulator
