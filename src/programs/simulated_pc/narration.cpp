#include "programs/simulated_pc/narration.h"

#include <array>
#include <cstdio>
#include <string_view>

#include "app/application_name.h"
#include "app/resume_state.h"
#include "drive/command_set.h"
#include "emulator/sense_code.h"
#include "platform/sim/windows_versions.h"

namespace fwu::sim {

namespace {

struct CommandName {
  std::uint8_t operation_code;
  std::string_view name;
};

constexpr std::array<CommandName, 7> kCommandNames{{
    {opcode::kTestUnitReady, "TEST UNIT READY"},
    {opcode::kInquiry, "INQUIRY"},
    {opcode::kStartStopUnit, "START STOP UNIT"},
    {opcode::kReceiveDiagnosticResults, "RECEIVE DIAGNOSTIC RESULTS"},
    {opcode::kSendDiagnostic, "SEND DIAGNOSTIC"},
    {opcode::kPreventAllowMediumRemoval, "PREVENT ALLOW MEDIUM REMOVAL"},
    {opcode::kRead10, "READ(10)"},
}};

struct StatusName {
  std::uint8_t status;
  std::string_view name;
};

constexpr std::array<StatusName, 5> kStatusNames{{
    {emulator::scsi_status::kGood, "GOOD"},
    {emulator::scsi_status::kCheckCondition, "CHECK CONDITION"},
    {emulator::scsi_status::kBusy, "BUSY"},
    {emulator::scsi_status::kReservationConflict, "RESERVATION CONFLICT"},
    {emulator::scsi_status::kQueueFull, "TASK SET FULL"},
}};

std::string Hex(std::uint32_t value, int digits = 2) {
  std::array<char, 16> text{};
  std::snprintf(text.data(), text.size(), "%0*X", digits, value);
  return text.data();
}

std::string NameOf(const emulator::CommandRecord& record) {
  const std::optional<std::uint8_t> code = record.OperationCode();
  if (!code) {
    return "(no command)";
  }
  for (const CommandName& row : kCommandNames) {
    if (row.operation_code == *code) {
      std::string name(row.name);
      if (record.page) {
        name += " page 88 step " + Hex(record.page->sub_command) + "/" + Hex(record.page->argument);
      }
      return name;
    }
  }
  return "command " + Hex(*code);
}

std::string Where(const SimulatedPc& pc, std::size_t drive) {
  const DriveSlot& slot = pc.SlotOf(drive);
  if (pc.IsNt()) {
    return std::string(1, slot.letter) + ":";
  }
  return std::to_string(slot.host_adapter) + ":" + std::to_string(slot.target);
}

std::string Answer(const emulator::CommandRecord& record) {
  if (!record.completed) {
    return "no answer";
  }
  std::string status = "status " + Hex(record.status);
  for (const StatusName& row : kStatusNames) {
    if (row.status == record.status) {
      status = row.name;
    }
  }
  if (record.status == emulator::scsi_status::kCheckCondition) {
    status += " (sense " + Hex(record.sense.key, 1) + "/" + Hex(record.sense.asc) + "/" +
              Hex(record.sense.ascq) + ")";
  }
  return status;
}

}  // namespace

std::vector<std::string> DescribeMachine(const SimulatedPc& pc) {
  const platform::OsVersion& version = pc.system.version;
  std::vector<std::string> lines;
  lines.push_back(WindowsNameOf(version) + " (version " + std::to_string(version.major) + "." +
                  std::to_string(version.minor) + "." + std::to_string(version.build) +
                  "), ANSI code page " + std::to_string(pc.AnsiCodePage()));
  std::string power = "on mains power";
  if (pc.system.power_query_fails) {
    power = "power status cannot be read";
  } else if (pc.system.power.ac_line_status == 0) {
    power = "on battery";
  } else if (pc.system.power.ac_line_status != 1) {
    power = "power source unknown";
  }
  lines.push_back("Power: " + power + "; screen saver " +
                  (pc.system.screen_saver_active == 1 ? "on" : "off"));
  if (pc.DriveCount() == 0) {
    lines.emplace_back("Drives: none");
  }
  for (std::size_t n = 0; n < pc.DriveCount(); ++n) {
    const emulator::EmulatedDrive& drive = pc.Drive(n);
    const emulator::DeviceIdentity& identity = drive.Config().identity;
    std::string line = "Drive " + Where(pc, n) + (pc.IsNt() ? "" : " (ASPI adapter:target)") +
                       "  \"" + identity.vendor + "\" \"" + identity.product + "\", firmware " +
                       drive.Revision() + " build " + std::to_string(drive.Build());
    if (drive.Download() == emulator::DownloadState::kPending) {
      line += ", a download left unfinished";
    }
    lines.push_back(line);
  }
  return lines;
}

std::string DescribeCommand(const SimulatedPc& pc, std::size_t drive,
                            const emulator::CommandRecord& record) {
  std::string cdb;
  for (const std::uint8_t byte : record.cdb) {
    if (!cdb.empty()) {
      cdb += ' ';
    }
    cdb += Hex(byte);
  }
  std::string line = "  [drive " + Where(pc, drive) + "] " + NameOf(record) + "  (" + cdb +
                     ") -> " + Answer(record);
  if (record.transferred != 0) {
    line += ", " + std::to_string(record.transferred) + " bytes";
  }
  return line + ", " + std::to_string(record.duration_ms) + " ms";
}

std::vector<std::string> DescribeAfterRun(const SimulatedPc& pc) {
  const std::string name = ApplicationNameOf(pc.system.program_file_path);
  const bool marker = pc.registry.HasKey(platform::kHkeyLocalMachine, kPendingRestartMarkerPath);
  const bool run_entry =
      pc.registry.Value(platform::kHkeyCurrentUser, kRunKeyPath, name).has_value();
  const std::string store = "Software\\Quentar_ODD\\" + name;
  const std::size_t records =
      pc.registry.HasKey(platform::kHkeyCurrentUser, store + "\\Change")
          ? pc.registry.Subkeys(platform::kHkeyCurrentUser, store + "\\Change").size()
          : 0;
  std::vector<std::string> lines;
  lines.push_back(std::string("Registry: pending-restart marker ") + (marker ? "set" : "not set") +
                  "; Run entry " + (run_entry ? "set" : "not set") + "; " +
                  std::to_string(records) + " changed setting(s) recorded for restore");
  for (std::size_t n = 0; n < pc.DriveCount(); ++n) {
    lines.push_back("Drive " + Where(pc, n) + " has firmware " + pc.Drive(n).Revision() +
                    " build " + std::to_string(pc.Drive(n).Build()));
  }
  return lines;
}

}  // namespace fwu::sim
