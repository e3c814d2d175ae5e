#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "drive/data_direction.h"
#include "emulator/diagnostic_page.h"
#include "emulator/sense_code.h"

namespace fwu::test {

// A command log as the drive wrote it (command_log_line.h), read back.
struct LoggedCommand {
  unsigned number = 0;
  std::uint64_t time_ms = 0;
  std::vector<std::uint8_t> cdb;
  DataDirection direction = DataDirection::kNone;
  std::uint32_t data_length = 0;
  std::uint32_t moved = 0;
  std::uint8_t status = 0;
  std::optional<emulator::SenseCode> sense;
  std::optional<emulator::PageCommand> page;
  std::uint32_t duration_ms = 0;
  bool completed = true;
  std::string misfit;
};

// One power-on of the drive: what the process that built it sent.
struct LoggedBoot {
  std::string name;
  std::string revision;
  std::vector<LoggedCommand> commands;
};

// Nothing, with the line and the reason in `error`, for a log that does not read.
std::optional<std::vector<LoggedBoot>> ReadDriveLog(std::istream& in, std::string& error);

}  // namespace fwu::test
