#include "support/registry_snapshot.h"

#include <nlohmann/json.hpp>

namespace fwu::fuzz {

std::string UpperCase(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  return upper;
}

std::vector<std::string_view> PathNames(std::string_view path) {
  std::vector<std::string_view> names;
  std::size_t start = 0;
  while (start <= path.size()) {
    const std::size_t end = std::min(path.find('\\', start), path.size());
    names.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return names;
}

RegistrySnapshot RegistrySnapshot::Of(const sim::SimRegistry& registry) {
  RegistrySnapshot snapshot;
  const nlohmann::ordered_json json = nlohmann::ordered_json::parse(registry.ToJson());
  for (const auto& [path, values] : json.items()) {
    auto& key = snapshot.keys[UpperCase(path)];
    for (const auto& [name, value] : values.items()) {
      key[UpperCase(name)] = value.dump();
    }
  }
  return snapshot;
}

std::vector<RegistryChange> Changes(const RegistrySnapshot& before, const RegistrySnapshot& after) {
  using Kind = RegistryChange::Kind;
  std::vector<RegistryChange> changes;
  for (const auto& [path, values] : before.keys) {
    const auto now = after.keys.find(path);
    if (now == after.keys.end()) {
      changes.push_back({Kind::kKeyRemoved, path, {}});
      continue;
    }
    for (const auto& [name, value] : values) {
      const auto current = now->second.find(name);
      if (current == now->second.end()) {
        changes.push_back({Kind::kValueRemoved, path, name});
      } else if (current->second != value) {
        changes.push_back({Kind::kValueChanged, path, name});
      }
    }
    for (const auto& [name, value] : now->second) {
      if (values.count(name) == 0) {
        changes.push_back({Kind::kValueAdded, path, name});
      }
    }
  }
  for (const auto& [path, values] : after.keys) {
    if (before.keys.count(path) == 0) {
      changes.push_back({Kind::kKeyAdded, path, {}});
      for (const auto& [name, value] : values) {
        changes.push_back({Kind::kValueAdded, path, name});
      }
    }
  }
  return changes;
}

}  // namespace fwu::fuzz
