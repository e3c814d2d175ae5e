#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "drive/data_direction.h"
#include "emulator/diagnostic_page.h"
#include "emulator/sense_code.h"

namespace fwu::emulator {

// FNV-1a, 64 bits: the log keeps a digest of the data each command moved instead of the data.
inline constexpr std::uint64_t kFnv1a64OfNothing = 0xCBF29CE484222325ULL;
std::uint64_t Fnv1a64(std::span<const std::uint8_t> bytes);

// A data phase that did not fit the command. The drive answers each with CHECK CONDITION
// ILLEGAL REQUEST, so that a transport that gets the data phase wrong fails loudly.
enum class DataPhaseMisfit : std::uint8_t {
  kNone,
  kCdbTooShort,         // fewer CDB bytes than the command has (24/00)
  kWrongDirection,      // data phase against the command's direction, or one it has none of (24/00)
  kBufferTooShort,      // data in: the host buffer cannot take what the drive sends (24/00)
  kParameterListShort,  // data out: fewer bytes than the parameter list length (1A/00)
};

// One attempt at a command, as the drive saw it.
struct CommandRecord {
  std::vector<std::uint8_t> cdb;
  DataDirection direction = DataDirection::kNone;
  std::uint32_t data_length = 0;                  // the host's buffer
  std::uint32_t transferred = 0;                  // bytes actually moved
  std::uint64_t data_digest = kFnv1a64OfNothing;  // of the bytes moved, either way
  std::optional<PageCommand> page;                // a SEND DIAGNOSTIC that carried page 0x88
  bool completed = true;
  std::uint8_t status = 0;
  SenseCode sense;               // with CHECK CONDITION
  std::uint8_t drive_error = 0;  // sense byte 19
  std::uint64_t time_ms = 0;
  std::uint32_t duration_ms = 0;
  bool faulted = false;  // the fault plan decided the outcome
  DataPhaseMisfit misfit = DataPhaseMisfit::kNone;

  std::optional<std::uint8_t> OperationCode() const;
};

// Every attempt in order. The drive appends from whichever thread executes commands while a
// test reads, so every query returns a copy taken under the lock.
class CommandLog {
 public:
  void Append(CommandRecord record);
  void Clear();

  std::vector<CommandRecord> Records() const;
  std::size_t Size() const;
  std::optional<CommandRecord> Last() const;
  std::vector<std::uint8_t> OperationCodes() const;
  std::size_t CountOf(std::uint8_t operation_code) const;
  // Sub-command and argument of every page 0x88 sent, retries included; the accepted ones are
  // those that ended with GOOD status.
  std::vector<PageCommand> SentPages() const;
  std::vector<PageCommand> AcceptedPages() const;

 private:
  mutable std::mutex mutex_;
  std::vector<CommandRecord> records_;
};

}  // namespace fwu::emulator
