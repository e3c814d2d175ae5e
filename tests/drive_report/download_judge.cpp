#include "drive_report/download_judge.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <span>

namespace fwu::test {
namespace {

constexpr std::uint32_t kSettleMs = 122000;
constexpr std::uint32_t kBetweenControlStepsMs = 3000;
constexpr std::uint32_t kLeastSlackMs = 500;
constexpr std::uint8_t kBlocks = 6;
constexpr std::uint32_t kShortPageBytes = 8;
constexpr std::uint32_t kBlockPageBytes = 32776;
constexpr std::uint8_t kUnitAttention = 0x06;
constexpr std::uint8_t kCheckCondition = 0x02;

// What the drive knows of each command it takes: where the CDB says how many bytes move.
struct CommandShape {
  std::uint8_t operation_code = 0;
  std::size_t cdb_length = 0;
  DataDirection direction = DataDirection::kNone;
  std::size_t length_offset = 0;  // 0: no data
  std::uint32_t unit = 1;
};

constexpr std::array<CommandShape, 7> kShapes{{
    {0x00, 6, DataDirection::kNone, 0, 1},    // TEST UNIT READY
    {0x12, 6, DataDirection::kIn, 3, 1},      // INQUIRY
    {0x1B, 6, DataDirection::kNone, 0, 1},    // START STOP UNIT
    {0x1C, 6, DataDirection::kIn, 3, 1},      // RECEIVE DIAGNOSTIC RESULTS
    {0x1D, 6, DataDirection::kOut, 3, 1},     // SEND DIAGNOSTIC
    {0x1E, 6, DataDirection::kNone, 0, 1},    // PREVENT ALLOW MEDIUM REMOVAL
    {0x28, 10, DataDirection::kIn, 7, 2048},  // READ(10)
}};

const char* NameOf(DataDirection direction) {
  switch (direction) {
    case DataDirection::kIn:
      return "in";
    case DataDirection::kOut:
      return "out";
    case DataDirection::kNone:
      break;
  }
  return "none";
}

std::string Where(std::size_t boot, const LoggedCommand& command) {
  return "boot " + std::to_string(boot + 1) + ", command " + std::to_string(command.number) + ": ";
}

std::string Describe(const LoggedCommand& command) {
  std::string text;
  for (const std::uint8_t byte : command.cdb) {
    char hex[4];
    std::snprintf(hex, sizeof hex, text.empty() ? "%02x" : " %02x", byte);
    text += hex;
  }
  if (command.page) {
    char page[16];
    std::snprintf(page, sizeof page, " (page %02x/%02x)", command.page->sub_command,
                  command.page->argument);
    text += page;
  }
  return text;
}

void CheckShape(std::size_t boot, const LoggedCommand& command,
                std::vector<std::string>& findings) {
  const std::string where = Where(boot, command);
  if (command.cdb.empty()) {
    findings.push_back(where + "no CDB");
    return;
  }
  const auto* shape = std::ranges::find_if(
      kShapes, [&](const CommandShape& s) { return s.operation_code == command.cdb[0]; });
  if (shape == kShapes.end()) {
    findings.push_back(where + "a command the drive does not know: " + Describe(command));
    return;
  }
  if (command.cdb.size() != shape->cdb_length) {
    findings.push_back(where + "a CDB of " + std::to_string(command.cdb.size()) +
                       " bytes: " + Describe(command));
    return;
  }
  std::uint32_t announced = 0;
  if (shape->length_offset != 0) {
    announced = ((std::uint32_t{command.cdb[shape->length_offset]} << 8U) |
                 command.cdb[shape->length_offset + 1]) *
                shape->unit;
  }
  // A command that announces no data may also go without a direction.
  if (command.direction != shape->direction &&
      (announced != 0 || command.direction != DataDirection::kNone)) {
    findings.push_back(where + "data " + NameOf(command.direction) + " where " +
                       NameOf(shape->direction) + " belongs: " + Describe(command));
  }
  if (command.data_length != announced) {
    findings.push_back(where + std::to_string(command.data_length) + " data bytes where the CDB " +
                       "announces " + std::to_string(announced) + ": " + Describe(command));
  }
  if (!command.misfit.empty()) {
    findings.push_back(where + "the drive found the data phase unfit (" + command.misfit +
                       "): " + Describe(command));
  }
}

bool IsDownloadStep(const LoggedCommand& command) {
  return command.page && (command.page->sub_command == emulator::sub_command::kDownloadControl ||
                          command.page->sub_command == emulator::sub_command::kDownloadData);
}

bool IsEject(const LoggedCommand& command) {
  return command.cdb.size() >= 5 && command.cdb[0] == 0x1B && (command.cdb[4] & 0x03U) == 0x02;
}

bool WritesTheDrive(const LoggedBoot& boot) {
  return std::ranges::any_of(boot.commands, [](const LoggedCommand& command) {
    return IsDownloadStep(command) || IsEject(command);
  });
}

// The attempts as commands: one repeated at once after UNIT ATTENTION counts once, at the time
// of its first attempt.
std::vector<LoggedCommand> WithoutRetries(std::span<const LoggedCommand> attempts) {
  std::vector<LoggedCommand> commands;
  bool retrying = false;
  for (const LoggedCommand& attempt : attempts) {
    if (retrying && !commands.empty() && commands.back().cdb == attempt.cdb &&
        commands.back().page == attempt.page) {
      const std::uint64_t first_sent = commands.back().time_ms;
      commands.back() = attempt;
      commands.back().time_ms = first_sent;
    } else {
      commands.push_back(attempt);
    }
    retrying = attempt.sense && attempt.sense->key == kUnitAttention;
  }
  return commands;
}

struct Step {
  emulator::PageCommand page;
  std::uint32_t length = 0;
};

std::vector<Step> StepsOf(const DownloadExpectation& expected) {
  std::vector<Step> steps{{{0xF0, 0x00}, kShortPageBytes}, {{0xF0, 0xFF}, kShortPageBytes}};
  const std::uint32_t last =
      expected.outcome == ExpectedDownload::kRefusedBlock ? expected.refused_block : kBlocks;
  for (std::uint32_t block = 1; block <= last; ++block) {
    steps.push_back({{0xC0, static_cast<std::uint8_t>(block)}, kBlockPageBytes});
  }
  if (expected.outcome == ExpectedDownload::kComplete) {
    steps.push_back({{0xC0, 0x00}, kShortPageBytes});
  }
  return steps;
}

void CheckWait(const char* what, const LoggedCommand& from, const LoggedCommand& to,
               std::uint32_t wait_ms, std::uint32_t divisor, Verdict& verdict) {
  const std::uint64_t wanted = wait_ms / divisor;
  const std::uint64_t slack = std::max<std::uint64_t>(kLeastSlackMs, wanted / 2);
  const std::uint64_t longest = wanted + from.duration_ms + slack;
  const std::uint64_t gap = to.time_ms >= from.time_ms ? to.time_ms - from.time_ms : 0;
  const std::string text = std::string(what) + ": " + std::to_string(gap) + " ms (wanted " +
                           std::to_string(wanted) + " to " + std::to_string(longest) + ")";
  verdict.measured.push_back(text);
  if (gap < wanted || gap > longest) {
    verdict.findings.push_back(text);
  }
}

void CheckDownload(std::size_t boot, const LoggedBoot& log, const DownloadExpectation& expected,
                   Verdict& verdict) {
  const std::vector<LoggedCommand> commands = WithoutRetries(log.commands);
  const auto eject = std::ranges::find_if(commands, IsEject);
  if (eject == commands.end()) {
    verdict.findings.push_back("boot " + std::to_string(boot + 1) + ": download without an eject");
    return;
  }
  const std::string at_eject = Where(boot, *eject);
  if (eject == commands.begin() ||
      std::prev(eject)->cdb != std::vector<std::uint8_t>{0x1E, 0, 0, 0, 0x00, 0}) {
    verdict.findings.push_back(at_eject + "the eject does not follow PREVENT ALLOW (allow)");
  }
  const std::vector<Step> steps = StepsOf(expected);
  const std::span<const LoggedCommand> sent(std::next(eject), commands.end());
  for (std::size_t i = 0; i < std::max(steps.size(), sent.size()); ++i) {
    if (i >= sent.size()) {
      char page[16];
      std::snprintf(page, sizeof page, "%02x/%02x", steps[i].page.sub_command,
                    steps[i].page.argument);
      verdict.findings.push_back(at_eject + "the download ends before page " + page);
      break;
    }
    const LoggedCommand& command = sent[i];
    const std::string where = Where(boot, command);
    if (i >= steps.size()) {
      verdict.findings.push_back(where +
                                 "sent after the download's last step: " + Describe(command));
      break;
    }
    const Step& step = steps[i];
    const std::vector<std::uint8_t> cdb{0x1D,
                                        0,
                                        0,
                                        static_cast<std::uint8_t>(step.length >> 8U),
                                        static_cast<std::uint8_t>(step.length & 0xFFU),
                                        0};
    if (command.page != step.page || command.cdb != cdb) {
      char wanted[48];
      std::snprintf(wanted, sizeof wanted, "page %02x/%02x in %u bytes", step.page.sub_command,
                    step.page.argument, step.length);
      verdict.findings.push_back(where + Describe(command) + " where " + wanted + " belongs");
      break;
    }
    const bool refused =
        expected.outcome == ExpectedDownload::kRefusedBlock && i + 1 == steps.size();
    if (refused ? command.status != kCheckCondition : command.status != 0) {
      verdict.findings.push_back(where + "status " + std::to_string(command.status) + " where " +
                                 (refused ? "CHECK CONDITION" : "GOOD") + " belongs");
    }
  }
  if (sent.size() >= 2) {
    CheckWait("eject to the first 0xF0 step", *eject, sent[0], kSettleMs, expected.wait_divisor,
              verdict);
    CheckWait("first to second 0xF0 step", sent[0], sent[1], kBetweenControlStepsMs,
              expected.wait_divisor, verdict);
  }
}

}  // namespace

Verdict JudgeDriveLog(const std::vector<LoggedBoot>& boots, const DownloadExpectation& expected) {
  Verdict verdict;
  for (std::size_t boot = 0; boot < boots.size(); ++boot) {
    for (const LoggedCommand& command : boots[boot].commands) {
      CheckShape(boot, command, verdict.findings);
    }
  }
  std::optional<std::size_t> writing;
  for (std::size_t boot = 0; boot < boots.size(); ++boot) {
    if (WritesTheDrive(boots[boot])) {
      if (writing && expected.outcome != ExpectedDownload::kNone) {
        verdict.findings.push_back("boot " + std::to_string(*writing + 1) +
                                   ": a download before the last one");
      }
      writing = boot;
    }
  }
  if (expected.outcome == ExpectedDownload::kNone) {
    if (writing) {
      verdict.findings.push_back("boot " + std::to_string(*writing + 1) +
                                 ": the drive was written to");
    }
    return verdict;
  }
  if (!writing) {
    verdict.findings.emplace_back("no download in any boot");
    return verdict;
  }
  CheckDownload(*writing, boots[*writing], expected, verdict);
  return verdict;
}

}  // namespace fwu::test
