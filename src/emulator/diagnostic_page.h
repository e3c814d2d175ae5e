#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace fwu::emulator {

// Page 0x88 of SEND DIAGNOSTIC: an 8-byte header (page code, 0, page length big-endian, 0,
// sub-command, argument, 0), then a data block when the page length says one follows.
inline constexpr std::uint8_t kDiagnosticPageCode = 0x88;
inline constexpr std::size_t kPageHeaderBytes = 8;
// The page length counts the bytes after offset 3.
inline constexpr std::size_t kPageLengthOffset = 4;
inline constexpr std::uint16_t kShortPageLength = 0x0004;
inline constexpr std::uint16_t kDataPageLength = 0x8004;

namespace sub_command {
inline constexpr std::uint8_t kIdentify = 0x40;
inline constexpr std::uint8_t kDownloadControl = 0xF0;
inline constexpr std::uint8_t kDownloadData = 0xC0;
}  // namespace sub_command

struct PageCommand {
  std::uint8_t sub_command = 0;
  std::uint8_t argument = 0;

  constexpr bool operator==(const PageCommand&) const = default;
};

// The header of a page as it arrived; the drive judges it, this only reads it.
struct DiagnosticPageHeader {
  std::uint8_t page_code = 0;
  std::uint16_t page_length = 0;
  PageCommand command{};
  bool reserved_bytes_zero = false;  // bytes 1, 4 and 7
};

// Nothing when the parameter list is too short to hold a header.
constexpr std::optional<DiagnosticPageHeader> ReadPageHeader(
    std::span<const std::uint8_t> parameter_list) {
  if (parameter_list.size() < kPageHeaderBytes) {
    return std::nullopt;
  }
  const auto& p = parameter_list;
  return DiagnosticPageHeader{
      .page_code = p[0],
      .page_length = static_cast<std::uint16_t>((p[2] << 8U) | p[3]),
      .command = {.sub_command = p[5], .argument = p[6]},
      .reserved_bytes_zero = p[1] == 0 && p[4] == 0 && p[7] == 0,
  };
}

// The sub-command and argument of a parameter list that carries page 0x88.
constexpr std::optional<PageCommand> PageCommandOf(std::span<const std::uint8_t> parameter_list) {
  const auto header = ReadPageHeader(parameter_list);
  if (!header || header->page_code != kDiagnosticPageCode) {
    return std::nullopt;
  }
  return header->command;
}

// The steps the drive tells apart by sub-command and argument.
enum class PageStep : std::uint8_t {
  kIdentify,        // 0x40/0x00: identification query, answered by RECEIVE DIAGNOSTIC RESULTS
  kArm,             // 0xF0/0x00: first download step; always begins a new download
  kStartReceiving,  // 0xF0/0xFF: second download step
  kDataBlock,       // 0xC0/n: data block n, 1-based
  kClose,           // 0xC0/0x00: the drive takes the received image
};

struct PageStepInfo {
  std::uint8_t sub_command = 0;
  std::optional<std::uint8_t> argument;  // none: any argument no earlier row names
  PageStep step = PageStep::kIdentify;
  std::uint16_t page_length = 0;
  std::uint32_t duration_ms = 0;  // the drive's time for the step, transfer included
};

inline constexpr std::array<PageStepInfo, 5> kPageSteps{{
    {sub_command::kIdentify, 0x00, PageStep::kIdentify, kShortPageLength, 10},
    {sub_command::kDownloadControl, 0x00, PageStep::kArm, kShortPageLength, 50},
    {sub_command::kDownloadControl, 0xFF, PageStep::kStartReceiving, kShortPageLength, 50},
    {sub_command::kDownloadData, 0x00, PageStep::kClose, kShortPageLength, 6000},
    {sub_command::kDownloadData, std::nullopt, PageStep::kDataBlock, kDataPageLength, 250},
}};

constexpr const PageStepInfo* FindPageStep(PageCommand command) {
  const auto* found = std::find_if(kPageSteps.begin(), kPageSteps.end(), [&](const auto& row) {
    return row.sub_command == command.sub_command &&
           (!row.argument || *row.argument == command.argument);
  });
  return found == kPageSteps.end() ? nullptr : found;
}

// Sub-commands that belong to a download: a malformed page with one of these still breaks it.
constexpr bool IsDownloadSubCommand(std::uint8_t sub) {
  return sub == sub_command::kDownloadControl || sub == sub_command::kDownloadData;
}

}  // namespace fwu::emulator
