#include "programs/simulated_pc/pc_state.h"

#include <array>
#include <fstream>
#include <stdexcept>
#include <string_view>

#include "emulator/drive_state.h"

namespace fwu::sim {

namespace {

using Json = nlohmann::json;

constexpr std::string_view kUserHive = "HKEY_CURRENT_USER";

constexpr std::array<std::string_view, 4> kDownloadNames{"idle", "armed", "receiving", "pending"};

bool InUserHive(const std::string& path) {
  return path.compare(0, kUserHive.size(), kUserHive) == 0 &&
         (path.size() == kUserHive.size() || path[kUserHive.size()] == '\\');
}

Json DriveJson(const emulator::DriveState& state) {
  Json drive{{"revision", state.revision},
             {"build", state.build},
             {"medium_present", state.medium_present},
             {"medium_on_open_tray", state.medium_on_open_tray},
             {"download", kDownloadNames.at(static_cast<std::size_t>(state.download))},
             {"blocks_received", state.blocks_received}};
  return drive;
}

void ApplyDrive(const Json& saved, emulator::EmulatedDrive& drive) {
  emulator::DriveState state = drive.State();
  state.revision = saved.at("revision").get<std::string>();
  state.build = saved.at("build").get<std::int8_t>();
  state.medium_present = saved.at("medium_present").get<bool>();
  state.medium_on_open_tray = saved.at("medium_on_open_tray").get<bool>();
  const auto download = saved.at("download").get<std::string>();
  for (std::size_t i = 0; i < kDownloadNames.size(); ++i) {
    if (kDownloadNames[i] == download) {
      state.download = static_cast<emulator::DownloadState>(i);
    }
  }
  state.blocks_received = saved.at("blocks_received").get<std::uint32_t>();
  // The image received so far is not kept; what is left of a broken download is worthless.
  drive.SetState(state);
}

}  // namespace

std::optional<PcState> LoadPcState(const std::filesystem::path& file) {
  std::ifstream in(file);
  if (!in) {
    return std::nullopt;
  }
  try {
    const Json json = Json::parse(in);
    PcState state;
    state.scenario = json.at("scenario");
    state.boots = json.at("boots").get<int>();
    state.machine = json.at("machine");
    state.users = json.at("users");
    state.drives = json.at("drives");
    return state;
  } catch (const Json::exception& error) {
    throw std::runtime_error("the state file " + file.string() +
                             " is not the simulated PC's state: " + error.what());
  }
}

void SavePcState(const std::filesystem::path& file, const PcState& state) {
  const Json json{{"scenario", state.scenario},
                  {"boots", state.boots},
                  {"machine", state.machine},
                  {"users", state.users},
                  {"drives", state.drives}};
  if (file.has_parent_path()) {
    std::filesystem::create_directories(file.parent_path());
  }
  std::ofstream out(file, std::ios::trunc);
  out << json.dump(2) << '\n';
  if (!out.flush()) {
    throw std::runtime_error("cannot write the state file " + file.string());
  }
}

void CapturePc(const SimulatedPc& pc, PcState& state) {
  const Json registry = Json::parse(pc.registry.ToJson());
  Json machine = Json::object();
  Json hive = Json::object();
  for (const auto& item : registry.items()) {
    (InUserHive(item.key()) ? hive : machine)[item.key()] = item.value();
  }
  state.machine = std::move(machine);
  state.users[pc.registry.CurrentUser()] = std::move(hive);
  state.drives = Json::array();
  for (std::size_t n = 0; n < pc.DriveCount(); ++n) {
    state.drives.push_back(DriveJson(pc.Drive(n).State()));
  }
}

void RestorePc(const PcState& state, const std::string& user, SimulatedPc& pc) {
  Json registry = state.machine;
  if (state.users.contains(user)) {
    for (const auto& item : state.users.at(user).items()) {
      registry[item.key()] = item.value();
    }
  }
  pc.registry.SwitchUser(user);
  if (!pc.registry.LoadJson(registry.dump())) {
    throw std::runtime_error("the registry in the state file cannot be loaded");
  }
  // A user who has never logged on gets the hive every new profile has.
  pc.registry.PutKey(platform::kHkeyCurrentUser,
                     "Software\\Microsoft\\Windows\\CurrentVersion\\run");
  for (std::size_t n = 0; n < pc.DriveCount() && n < state.drives.size(); ++n) {
    ApplyDrive(state.drives.at(n), pc.Drive(n));
  }
}

}  // namespace fwu::sim
