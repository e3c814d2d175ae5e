#pragma once

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/sim/simulated_pc.h"

// What a simulated PC is made of, as a scenario file (JSON) describes it: the Windows version,
// code page, user, program file, power and screen saver, the drives with their firmware and
// faults, the device settings and any further registry contents, and the answers a
// non-interactive run gives its dialogs.
namespace fwu::sim {

// A scenario that cannot be turned into a PC; the text says what is wrong and where.
class ScenarioError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Windows XP in English with one XT-M7731 at "1029", build 32, which needs the update, and
// device settings that need no change.
nlohmann::json DefaultScenario();

nlohmann::json ReadScenarioFile(const std::filesystem::path& file);

// Builds the PC as the scenario describes it, before its first boot. Unknown keys and values
// are errors, so that a misspelt setting does not go unnoticed.
std::unique_ptr<SimulatedPc> BuildPc(const nlohmann::json& scenario, TimeMode time);

std::string ScenarioUser(const nlohmann::json& scenario);
std::string ScenarioDescription(const nlohmann::json& scenario);
// The answers of a non-interactive run, one dialog answer per line.
std::vector<std::string> ScenarioAnswers(const nlohmann::json& scenario);

}  // namespace fwu::sim
