#include "programs/simulated_pc/scenario.h"

#include <array>
#include <fstream>
#include <optional>
#include <set>
#include <string_view>

#include "drive/command_set.h"
#include "emulator/fault_plan.h"
#include "platform/sim/device_setting_presets.h"
#include "platform/sim/windows_versions.h"
#include "programs/simulated_pc/program_run.h"

namespace fwu::sim {

namespace {

using Json = nlohmann::json;

constexpr std::string_view kDefaultScenario = R"({
  "description": "Windows XP in English; one XT-M7731 at firmware 1029 that needs the update; device settings already suitable",
  "windows": "xp",
  "code_page": 1252,
  "user": "User",
  "program": "C:\\Program Files\\Quentar\\XTM7731UP.exe",
  "power": "ac",
  "screen_saver": true,
  "settings": "suitable",
  "drives": [
    { "letter": "E", "adapter": 0, "target": 1, "revision": "1029", "build": 32 }
  ],
  "answers": ["Agree", "OK", "Update Start", "OK", "OK", "OK", "OK"]
})";

struct NamedCommand {
  std::string_view name;
  std::uint8_t operation_code;
};

constexpr std::array<NamedCommand, 7> kCommandNames{{
    {"TEST UNIT READY", opcode::kTestUnitReady},
    {"INQUIRY", opcode::kInquiry},
    {"START STOP UNIT", opcode::kStartStopUnit},
    {"RECEIVE DIAGNOSTIC RESULTS", opcode::kReceiveDiagnosticResults},
    {"SEND DIAGNOSTIC", opcode::kSendDiagnostic},
    {"PREVENT ALLOW MEDIUM REMOVAL", opcode::kPreventAllowMediumRemoval},
    {"READ(10)", opcode::kRead10},
}};

void OnlyKeys(const Json& object, std::string_view where,
              const std::set<std::string_view>& allowed) {
  if (!object.is_object()) {
    throw ScenarioError(std::string(where) + " must be an object");
  }
  for (const auto& item : object.items()) {
    if (allowed.count(item.key()) == 0) {
      throw ScenarioError("unknown key \"" + item.key() + "\" in " + std::string(where));
    }
  }
}

template <typename T>
T ValueOr(const Json& object, const char* key, T fallback) {
  if (!object.contains(key)) {
    return fallback;
  }
  try {
    return object.at(key).get<T>();
  } catch (const Json::exception&) {
    throw ScenarioError(std::string("\"") + key + "\" has the wrong kind of value");
  }
}

platform::RegistryHandle RootNamed(std::string_view name) {
  if (name == "HKLM" || name == "HKEY_LOCAL_MACHINE") {
    return platform::kHkeyLocalMachine;
  }
  if (name == "HKCU" || name == "HKEY_CURRENT_USER") {
    return platform::kHkeyCurrentUser;
  }
  if (name == "HKDD" || name == "HKEY_DYN_DATA") {
    return platform::kHkeyDynData;
  }
  throw ScenarioError("unknown registry root \"" + std::string(name) + "\"");
}

StoredValue ValueOf(const Json& value, const std::string& name) {
  if (value.is_number_unsigned()) {
    return StoredValue::Number(value.get<std::uint32_t>());
  }
  if (value.is_string()) {
    return StoredValue::Text(value.get<std::string>());
  }
  if (value.is_object() && value.contains("binary")) {
    return StoredValue::Binary(value.at("binary").get<std::vector<std::uint8_t>>());
  }
  throw ScenarioError("registry value \"" + name +
                      "\": use a number (REG_DWORD), a text (REG_SZ) or {\"binary\": [..]}");
}

void AddRegistryEntries(const Json& entries, SimRegistry& registry) {
  for (const Json& entry : entries) {
    OnlyKeys(entry, "a registry entry", {"key", "values"});
    const auto full = ValueOr<std::string>(entry, "key", "");
    const std::size_t split = full.find('\\');
    const platform::RegistryHandle root = RootNamed(full.substr(0, split));
    const std::string path = split == std::string::npos ? "" : full.substr(split + 1);
    registry.PutKey(root, path);
    if (entry.contains("values")) {
      for (const auto& value : entry.at("values").items()) {
        registry.PutValue(root, path, value.key(), ValueOf(value.value(), value.key()));
      }
    }
  }
}

emulator::FaultAction FaultActionOf(const Json& fault) {
  const auto kind = ValueOr<std::string>(fault, "kind", "check-condition");
  if (kind == "check-condition") {
    const auto sense = ValueOr<std::vector<std::uint8_t>>(fault, "sense", {0x04, 0x44, 0x00});
    if (sense.size() != 3) {
      throw ScenarioError("\"sense\" holds three numbers: key, ASC and ASCQ");
    }
    return emulator::FaultAction::CheckCondition({sense[0], sense[1], sense[2]});
  }
  if (kind == "busy") {
    return emulator::FaultAction::Status(emulator::scsi_status::kBusy);
  }
  if (kind == "no-completion") {
    return emulator::FaultAction::NoCompletion();
  }
  if (kind == "unit-attention") {
    return emulator::FaultAction::UnitAttention();
  }
  throw ScenarioError("unknown fault kind \"" + kind +
                      "\" (check-condition, busy, no-completion, unit-attention)");
}

emulator::FaultRule FaultRuleOf(const Json& fault) {
  OnlyKeys(fault, "a fault", {"command", "page", "kind", "sense", "first", "count"});
  emulator::FaultRule rule;
  const auto command = ValueOr<std::string>(fault, "command", "any");
  if (command != "any") {
    const auto* named = std::find_if(kCommandNames.begin(), kCommandNames.end(),
                                     [&](const NamedCommand& row) { return row.name == command; });
    if (named == kCommandNames.end()) {
      throw ScenarioError("unknown command \"" + command + "\" in a fault");
    }
    rule.match = emulator::FaultMatch::Command(named->operation_code);
  }
  if (fault.contains("page")) {
    rule.match = emulator::FaultMatch::Page(ValueOr<std::uint8_t>(fault, "page", 0));
  }
  rule.action = FaultActionOf(fault);
  rule.first = ValueOr<std::uint32_t>(fault, "first", 1);
  if (fault.contains("count") && fault.at("count").is_string()) {
    if (fault.at("count").get<std::string>() != "forever") {
      throw ScenarioError("\"count\" is a number or \"forever\"");
    }
    rule.count = emulator::kForever;
  } else {
    rule.count = ValueOr<std::uint32_t>(fault, "count", 1);
  }
  return rule;
}

void AddDrives(const Json& drives, SimulatedPc& pc) {
  std::uint8_t n = 0;
  for (const Json& entry : drives) {
    OnlyKeys(entry, "a drive",
             {"letter", "adapter", "target", "vendor", "product", "revision", "build", "drive_code",
              "medium", "unit_attention_at_power_on", "faults"});
    DriveSlot slot;
    const auto letter = ValueOr<std::string>(entry, "letter", std::string(1, 'E' + n));
    if (letter.size() != 1 || letter[0] < 'A' || letter[0] > 'Z') {
      throw ScenarioError("a drive letter is one of A to Z");
    }
    slot.letter = letter[0];
    slot.host_adapter = ValueOr<std::uint8_t>(entry, "adapter", 0);
    slot.target = ValueOr<std::uint8_t>(entry, "target", static_cast<std::uint8_t>(1 + n));
    emulator::DriveConfig config = emulator::EmulatedDrive::XtM7731(
        ValueOr<std::string>(entry, "revision", "1029"), ValueOr<std::int8_t>(entry, "build", 32));
    config.identity.vendor = ValueOr<std::string>(entry, "vendor", config.identity.vendor);
    config.identity.product = ValueOr<std::string>(entry, "product", config.identity.product);
    config.drive_code = ValueOr<std::string>(entry, "drive_code", config.drive_code);
    config.medium_present = ValueOr<bool>(entry, "medium", true);
    config.unit_attention_at_power_on = ValueOr<bool>(entry, "unit_attention_at_power_on", false);
    emulator::EmulatedDrive& drive = pc.AddDrive(slot, std::move(config));
    if (entry.contains("faults")) {
      for (const Json& fault : entry.at("faults")) {
        drive.Faults().Add(FaultRuleOf(fault));
      }
    }
    ++n;
  }
}

void SetPower(const Json& scenario, SimSystemServices& system) {
  const auto power = ValueOr<std::string>(scenario, "power", "ac");
  if (power == "ac") {
    system.power.ac_line_status = 1;
  } else if (power == "battery") {
    system.power.ac_line_status = 0;
  } else if (power == "unknown") {
    system.power.ac_line_status = 255;
  } else if (power == "fails") {
    system.power_query_fails = true;
  } else {
    throw ScenarioError("\"power\" is one of ac, battery, unknown, fails");
  }
}

}  // namespace

Json DefaultScenario() {
  return Json::parse(kDefaultScenario);
}

Json ReadScenarioFile(const std::filesystem::path& file) {
  std::ifstream in(file);
  if (!in) {
    throw ScenarioError("cannot read the scenario " + file.string());
  }
  try {
    return Json::parse(in);
  } catch (const Json::exception& error) {
    throw ScenarioError("the scenario " + file.string() + " is not JSON: " + error.what());
  }
}

std::unique_ptr<SimulatedPc> BuildPc(const Json& scenario, TimeMode time) {
  OnlyKeys(scenario, "the scenario",
           {"description", "windows", "code_page", "user", "program", "current_directory", "power",
            "screen_saver", "settings", "drives", "registry", "answers"});
  const auto windows = ValueOr<std::string>(scenario, "windows", "xp");
  const std::optional<platform::OsVersion> version = WindowsVersionNamed(windows);
  if (!version) {
    throw ScenarioError("unknown Windows \"" + windows + "\" (98se, me, nt4, 2000, xp, win32s)");
  }
  if (time == TimeMode::kReal && version->platform_id != platform::kPlatformWindowsNt) {
    throw ScenarioError(
        "real time needs a Windows of the NT family: the simulated ASPI manager of Windows 9x "
        "runs on virtual time only");
  }
  auto pc = std::make_unique<SimulatedPc>(*version, ValueOr<int>(scenario, "code_page", 1252),
                                          CarriedFirmware(), time);
  SimSystemServices& system = pc->system;
  system.program_file_path = ValueOr<std::string>(scenario, "program", system.program_file_path);
  const std::size_t slash = system.program_file_path.rfind('\\');
  system.current_directory = ValueOr<std::string>(
      scenario, "current_directory",
      slash == std::string::npos ? "C:\\" : system.program_file_path.substr(0, slash));
  SetPower(scenario, system);
  system.screen_saver_active = ValueOr<bool>(scenario, "screen_saver", true) ? 1 : 0;

  pc->registry.SwitchUser(ScenarioUser(scenario));
  pc->registry.PutKey(platform::kHkeyCurrentUser,
                      "Software\\Microsoft\\Windows\\CurrentVersion\\run");
  const auto settings = ValueOr<std::string>(scenario, "settings", "suitable");
  if (settings == "suitable" || settings == "need-change") {
    AddDeviceSettings(pc->registry, pc->IsNt(), settings == "need-change");
  } else if (settings != "none") {
    throw ScenarioError("\"settings\" is one of suitable, need-change, none");
  }
  if (scenario.contains("registry")) {
    AddRegistryEntries(scenario.at("registry"), pc->registry);
  }
  if (scenario.contains("drives")) {
    AddDrives(scenario.at("drives"), *pc);
  }
  return pc;
}

std::string ScenarioUser(const Json& scenario) {
  return ValueOr<std::string>(scenario, "user", "User");
}

std::string ScenarioDescription(const Json& scenario) {
  return ValueOr<std::string>(scenario, "description", "");
}

std::vector<std::string> ScenarioAnswers(const Json& scenario) {
  return ValueOr<std::vector<std::string>>(scenario, "answers", {});
}

}  // namespace fwu::sim
