#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sim/sim_registry.h"

namespace fwu::fuzz {

// Every key and value of a simulated registry, keyed as the registry compares names: without
// regard to case. A key is its full path from the root name ("HKEY_LOCAL_MACHINE\SYSTEM\...").
struct RegistrySnapshot {
  // Path → value name → the value (type and bytes) in a comparable form.
  std::map<std::string, std::map<std::string, std::string>> keys;

  static RegistrySnapshot Of(const sim::SimRegistry& registry);
};

// One difference between two snapshots.
struct RegistryChange {
  enum class Kind { kKeyAdded, kKeyRemoved, kValueAdded, kValueRemoved, kValueChanged };
  Kind kind;
  std::string path;   // upper case
  std::string value;  // upper case; empty for key changes
};

std::vector<RegistryChange> Changes(const RegistrySnapshot& before, const RegistrySnapshot& after);

std::string UpperCase(std::string_view text);

// The names of a path between backslashes.
std::vector<std::string_view> PathNames(std::string_view path);

}  // namespace fwu::fuzz
