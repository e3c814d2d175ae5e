#include "drive_report/drive_log.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include <nlohmann/json.hpp>

namespace fwu::test {
namespace {

// Hex bytes separated by blanks ("12 00 2c") or slashes ("6/29/00").
std::vector<std::uint8_t> HexBytes(std::string text) {
  std::replace(text.begin(), text.end(), '/', ' ');
  std::vector<std::uint8_t> bytes;
  std::size_t at = 0;
  while (text.find_first_not_of(' ', at) != std::string::npos) {
    std::size_t used = 0;
    const unsigned long byte = std::stoul(text.substr(at), &used, 16);
    if (byte > 0xFF) {
      throw std::invalid_argument("\"" + text + "\" holds no bytes");
    }
    bytes.push_back(static_cast<std::uint8_t>(byte));
    at += used;
  }
  return bytes;
}

DataDirection DirectionOf(const std::string& name) {
  if (name == "in") {
    return DataDirection::kIn;
  }
  if (name == "out") {
    return DataDirection::kOut;
  }
  if (name == "none") {
    return DataDirection::kNone;
  }
  throw std::invalid_argument("unknown direction \"" + name + "\"");
}

LoggedCommand CommandOf(const nlohmann::json& line) {
  LoggedCommand command;
  command.number = line.at("n").get<unsigned>();
  command.time_ms = line.at("t_ms").get<std::uint64_t>();
  command.cdb = HexBytes(line.at("cdb").get<std::string>());
  command.direction = DirectionOf(line.at("dir").get<std::string>());
  command.data_length = line.at("len").get<std::uint32_t>();
  command.moved = line.at("moved").get<std::uint32_t>();
  command.status = line.at("status").get<std::uint8_t>();
  const auto sense = HexBytes(line.at("sense").get<std::string>());
  if (sense.size() == 3) {
    command.sense = emulator::SenseCode{sense[0], sense[1], sense[2]};
  }
  const std::string page = line.at("page").get<std::string>();
  unsigned sub_command = 0;
  unsigned argument = 0;
  if (std::sscanf(page.c_str(), "%x/%x", &sub_command, &argument) == 2) {
    command.page = emulator::PageCommand{static_cast<std::uint8_t>(sub_command),
                                         static_cast<std::uint8_t>(argument)};
  }
  command.duration_ms = line.at("ms").get<std::uint32_t>();
  command.completed = line.at("completed").get<bool>();
  command.misfit = line.at("misfit").get<std::string>();
  return command;
}

}  // namespace

std::optional<std::vector<LoggedBoot>> ReadDriveLog(std::istream& in, std::string& error) {
  std::vector<LoggedBoot> boots;
  std::string text;
  for (unsigned number = 1; std::getline(in, text); ++number) {
    if (text.empty()) {
      continue;
    }
    try {
      const nlohmann::json line = nlohmann::json::parse(text);
      if (line.contains("boot")) {
        boots.push_back(LoggedBoot{.name = line.at("boot").get<std::string>(),
                                   .revision = line.at("revision").get<std::string>(),
                                   .commands = {}});
      } else if (boots.empty()) {
        throw std::invalid_argument("a command before the first boot line");
      } else {
        boots.back().commands.push_back(CommandOf(line));
      }
    } catch (const std::exception& e) {
      error = "line " + std::to_string(number) + ": " + e.what();
      return std::nullopt;
    }
  }
  return boots;
}

}  // namespace fwu::test
