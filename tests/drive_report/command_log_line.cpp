#include "drive_report/command_log_line.h"

#include <cstdio>

namespace fwu::test {
namespace {

std::string Quoted(std::string_view text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
      quoted += escaped;
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

const char* DirectionName(DataDirection direction) {
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

const char* MisfitName(emulator::DataPhaseMisfit misfit) {
  switch (misfit) {
    case emulator::DataPhaseMisfit::kCdbTooShort:
      return "cdb-too-short";
    case emulator::DataPhaseMisfit::kWrongDirection:
      return "wrong-direction";
    case emulator::DataPhaseMisfit::kBufferTooShort:
      return "buffer-too-short";
    case emulator::DataPhaseMisfit::kParameterListShort:
      return "parameter-list-short";
    case emulator::DataPhaseMisfit::kNone:
      break;
  }
  return "";
}

}  // namespace

std::string BootLogLine(std::string_view boot, std::string_view revision) {
  return "{\"boot\": " + Quoted(boot) + ", \"revision\": " + Quoted(revision) + "}\n";
}

std::string CommandLogLine(const emulator::CommandRecord& record, unsigned number) {
  std::string cdb;
  for (const std::uint8_t byte : record.cdb) {
    char hex[4];
    std::snprintf(hex, sizeof hex, cdb.empty() ? "%02x" : " %02x", byte);
    cdb += hex;
  }
  char sense[16] = "";
  if (record.status == emulator::scsi_status::kCheckCondition) {
    std::snprintf(sense, sizeof sense, "%x/%02x/%02x", record.sense.key, record.sense.asc,
                  record.sense.ascq);
  }
  char page[8] = "";
  if (record.page) {
    std::snprintf(page, sizeof page, "%02x/%02x", record.page->sub_command, record.page->argument);
  }
  char line[512];
  std::snprintf(line, sizeof line,
                "{\"n\": %u, \"t_ms\": %llu, \"cdb\": \"%s\", \"dir\": \"%s\", \"len\": %u, "
                "\"moved\": %u, \"status\": %u, \"sense\": \"%s\", \"page\": \"%s\", \"ms\": %u, "
                "\"completed\": %s, \"faulted\": %s, \"misfit\": \"%s\"}\n",
                number, static_cast<unsigned long long>(record.time_ms), cdb.c_str(),
                DirectionName(record.direction), record.data_length, record.transferred,
                record.status, sense, page, record.duration_ms, record.completed ? "true" : "false",
                record.faulted ? "true" : "false", MisfitName(record.misfit));
  return line;
}

}  // namespace fwu::test
