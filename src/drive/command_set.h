#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "drive/data_direction.h"

namespace fwu {

namespace opcode {
inline constexpr std::uint8_t kTestUnitReady = 0x00;
inline constexpr std::uint8_t kInquiry = 0x12;
inline constexpr std::uint8_t kStartStopUnit = 0x1B;
inline constexpr std::uint8_t kReceiveDiagnosticResults = 0x1C;
inline constexpr std::uint8_t kSendDiagnostic = 0x1D;
inline constexpr std::uint8_t kPreventAllowMediumRemoval = 0x1E;
inline constexpr std::uint8_t kRead10 = 0x28;
}  // namespace opcode

// One command of the set the program sends. The ASPI transport names each command in its
// error texts; "%X" fields are filled by the builder of the name below.
struct CommandInfo {
  std::uint8_t operation_code;
  std::uint8_t cdb_length;
  DataDirection direction;
  std::string_view aspi_name;
};

inline constexpr std::array<CommandInfo, 7> kCommandSet{{
    {opcode::kTestUnitReady, 6, DataDirection::kNone, "Test Unit Ready"},
    {opcode::kInquiry, 6, DataDirection::kIn, "Inquiry"},
    {opcode::kStartStopUnit, 6, DataDirection::kNone, "Stat/StopUnit(%X)(%X)"},
    {opcode::kReceiveDiagnosticResults, 6, DataDirection::kIn, "Receive Diagnostic Results"},
    {opcode::kSendDiagnostic, 6, DataDirection::kOut, "Send Diagnostic"},
    {opcode::kPreventAllowMediumRemoval, 6, DataDirection::kNone, "Prevent/Allow Medium Removal"},
    {opcode::kRead10, 10, DataDirection::kIn, "Read(Group1)(%X)(%X)"},
}};

constexpr const CommandInfo* FindCommand(std::uint8_t operation_code) {
  const auto* found =
      std::find_if(kCommandSet.begin(), kCommandSet.end(),
                   [&](const CommandInfo& c) { return c.operation_code == operation_code; });
  return found == kCommandSet.end() ? nullptr : found;
}

// The transports decide the data phase from the operation code alone: a command outside the
// set, or one of the set that moves no data, goes out with no data whatever buffer was named.
constexpr DataDirection DataDirectionOf(std::uint8_t operation_code) {
  const CommandInfo* command = FindCommand(operation_code);
  return command == nullptr ? DataDirection::kNone : command->direction;
}

inline constexpr std::size_t kMaxCdbLength = 12;

// A command descriptor block as it goes to the drive.
struct Cdb {
  std::array<std::uint8_t, kMaxCdbLength> bytes{};
  std::uint8_t length = 6;

  constexpr bool operator==(const Cdb&) const = default;
};

// Builders with the exact bytes of each command; multi-byte fields are big-endian and only
// bit 0 of each flag argument counts.
constexpr Cdb TestUnitReadyCdb() {
  return Cdb{{opcode::kTestUnitReady}, 6};
}

constexpr Cdb InquiryCdb(std::uint8_t allocation_length) {
  return Cdb{{opcode::kInquiry, 0, 0, 0, allocation_length, 0}, 6};
}

constexpr Cdb StartStopUnitCdb(std::uint8_t start, std::uint8_t immed, std::uint8_t loej) {
  const auto power = static_cast<std::uint8_t>(((loej & 1U) << 1U) | (start & 1U));
  return Cdb{{opcode::kStartStopUnit, static_cast<std::uint8_t>(immed & 1U), 0, 0, power, 0}, 6};
}

constexpr Cdb ReceiveDiagnosticResultsCdb(std::uint16_t allocation_length) {
  return Cdb{
      {opcode::kReceiveDiagnosticResults, 0, 0, static_cast<std::uint8_t>(allocation_length >> 8U),
       static_cast<std::uint8_t>(allocation_length & 0xFFU), 0},
      6};
}

constexpr Cdb SendDiagnosticCdb(std::uint8_t self_test_bits, std::uint16_t parameter_list_length) {
  return Cdb{{opcode::kSendDiagnostic, static_cast<std::uint8_t>(self_test_bits << 2U), 0,
              static_cast<std::uint8_t>(parameter_list_length >> 8U),
              static_cast<std::uint8_t>(parameter_list_length & 0xFFU), 0},
             6};
}

constexpr Cdb PreventAllowMediumRemovalCdb(std::uint8_t prevent) {
  return Cdb{
      {opcode::kPreventAllowMediumRemoval, 0, 0, 0, static_cast<std::uint8_t>(prevent & 1U), 0}, 6};
}

constexpr Cdb Read10Cdb(std::uint32_t block_address, std::uint16_t block_count, std::uint8_t fua,
                        std::uint8_t reladr) {
  return Cdb{
      {opcode::kRead10, static_cast<std::uint8_t>(((fua & 1U) << 3U) | (reladr & 1U)),
       static_cast<std::uint8_t>(block_address >> 24U),
       static_cast<std::uint8_t>(block_address >> 16U),
       static_cast<std::uint8_t>(block_address >> 8U), static_cast<std::uint8_t>(block_address), 0,
       static_cast<std::uint8_t>(block_count >> 8U), static_cast<std::uint8_t>(block_count & 0xFFU),
       0},
      10};
}

// The name the ASPI transport gives a command in its texts, "%X" fields filled.
std::string AspiCommandName(std::uint8_t operation_code, std::uint32_t first = 0,
                            std::uint32_t second = 0);

}  // namespace fwu
