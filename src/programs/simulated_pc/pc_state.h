#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/sim/simulated_pc.h"

// What the simulated PC keeps between two boots, in one JSON file: the scenario it was built
// from, how often it has booted, the machine's registry, each user's own hive, and what each
// drive remembers (its firmware, its tray and disc, a download left pending).
namespace fwu::sim {

struct PcState {
  nlohmann::json scenario;
  int boots = 0;
  nlohmann::json machine = nlohmann::json::object();  // registry keys outside HKEY_CURRENT_USER
  nlohmann::json users = nlohmann::json::object();    // user name -> that user's hive
  nlohmann::json drives = nlohmann::json::array();
};

// Empty when there is no such file; throws std::runtime_error for a file that is not a state.
std::optional<PcState> LoadPcState(const std::filesystem::path& file);
void SavePcState(const std::filesystem::path& file, const PcState& state);

// The PC's registry (the logged-on user's hive among the others) and drives into the state.
void CapturePc(const SimulatedPc& pc, PcState& state);
// Gives a freshly built PC the state's registry, with `user`'s hive (empty for a new user), and
// the drives' memory.
void RestorePc(const PcState& state, const std::string& user, SimulatedPc& pc);

}  // namespace fwu::sim
