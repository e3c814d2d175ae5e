#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <utility>

#include <nlohmann/json.hpp>

#include "platform/sim/registry_path.h"
#include "platform/sim/sim_registry.h"

namespace fwu::sim {

using platform::RegistryHandle;

namespace {

using Json = nlohmann::ordered_json;

struct TypeName {
  std::uint32_t type;
  std::string_view name;
};
constexpr std::array<TypeName, 6> kTypeNames = {{
    {platform::kRegNone, "REG_NONE"},
    {platform::kRegSz, "REG_SZ"},
    {platform::kRegExpandSz, "REG_EXPAND_SZ"},
    {platform::kRegBinary, "REG_BINARY"},
    {platform::kRegDword, "REG_DWORD"},
    {platform::kRegMultiSz, "REG_MULTI_SZ"},
}};

bool IsPlainText(const std::vector<std::uint8_t>& data) {
  if (data.empty() || data.back() != 0) {
    return false;
  }
  return std::all_of(data.begin(), data.end() - 1,
                     [](std::uint8_t byte) { return byte >= 0x20 && byte < 0x7F; });
}

std::string HexOf(const std::vector<std::uint8_t>& data) {
  std::string hex;
  for (const std::uint8_t byte : data) {
    std::array<char, 4> digits{};
    std::snprintf(digits.data(), digits.size(), "%02X", byte);
    if (!hex.empty()) {
      hex += ' ';
    }
    hex += digits.data();
  }
  return hex;
}

std::vector<std::uint8_t> BytesOfHex(const std::string& hex) {
  std::vector<std::uint8_t> bytes;
  std::istringstream in(hex);
  std::string pair;
  while (in >> pair) {
    if (pair.size() != 2 || !std::isxdigit(static_cast<unsigned char>(pair[0])) ||
        !std::isxdigit(static_cast<unsigned char>(pair[1]))) {
      throw std::invalid_argument("bad hex byte: " + pair);
    }
    bytes.push_back(static_cast<std::uint8_t>(std::stoul(pair, nullptr, 16)));
  }
  return bytes;
}

}  // namespace

// The file form, in which the simulated PC keeps its registry across restarts and runs: one
// member per key, named by its full path and holding the key's values.
// Plain ASCII texts and 4-byte numbers are shown as such, everything else as hex bytes.
class SimRegistryJson {
 public:
  static void AddKey(const SimRegistry::Key& key, const std::string& path, Json& out) {
    Json values = Json::object();
    for (const auto& [name, value] : key.values) {
      values[name] = OfValue(value);
    }
    out[path] = std::move(values);
    for (const auto& [name, subkey] : key.subkeys) {
      std::string subkey_path = path;
      subkey_path += '\\';
      subkey_path += name;
      AddKey(*subkey, subkey_path, out);
    }
  }

  static Json OfValue(const StoredValue& value) {
    Json out = Json::object();
    const auto known = std::find_if(kTypeNames.begin(), kTypeNames.end(),
                                    [&](const TypeName& row) { return row.type == value.type; });
    if (known != kTypeNames.end()) {
      out["type"] = known->name;
    } else {
      out["type"] = value.type;
    }
    if ((value.type == platform::kRegSz || value.type == platform::kRegExpandSz) &&
        IsPlainText(value.data)) {
      out["text"] = std::string(value.data.begin(), value.data.end() - 1);
    } else if (value.type == platform::kRegDword && value.data.size() == 4) {
      out["number"] = static_cast<std::uint32_t>(value.data[0]) |
                      (static_cast<std::uint32_t>(value.data[1]) << 8U) |
                      (static_cast<std::uint32_t>(value.data[2]) << 16U) |
                      (static_cast<std::uint32_t>(value.data[3]) << 24U);
    } else {
      out["hex"] = HexOf(value.data);
    }
    return out;
  }

  static StoredValue ToValue(const Json& in) {
    StoredValue value;
    const Json& type = in.at("type");
    if (type.is_string()) {
      const auto name = type.get<std::string>();
      const auto known = std::find_if(kTypeNames.begin(), kTypeNames.end(),
                                      [&](const TypeName& row) { return row.name == name; });
      if (known == kTypeNames.end()) {
        throw std::invalid_argument("unknown value type " + name);
      }
      value.type = known->type;
    } else {
      value.type = type.get<std::uint32_t>();
    }
    if (in.contains("text")) {
      const auto text = in.at("text").get<std::string>();
      value.data.assign(text.begin(), text.end());
      value.data.push_back(0);
    } else if (in.contains("number")) {
      value.data = StoredValue::Number(in.at("number").get<std::uint32_t>()).data;
    } else {
      value.data = BytesOfHex(in.at("hex").get<std::string>());
    }
    return value;
  }

  static bool Load(SimRegistry& registry, std::string_view text) {
    try {
      const Json json = Json::parse(text);
      SimRegistry::Roots roots = SimRegistry::EmptyRoots();
      for (const auto& item : json.items()) {
        const std::string& path = item.key();
        const Json& values = item.value();
        const std::size_t split = std::min(path.find('\\'), path.size());
        const auto root = std::find_if(
            kRegistryRootNames.begin(), kRegistryRootNames.end(),
            [&](const RegistryRootName& row) { return row.name == path.substr(0, split); });
        if (root == kRegistryRootNames.end()) {
          return false;
        }
        std::shared_ptr<SimRegistry::Key> key = roots.at(root->root);
        for (const std::string& name :
             SplitRegistryPathOrThrow(split < path.size() ? path.substr(split + 1) : "")) {
          auto& slot = key->subkeys[name];
          if (!slot) {
            slot = std::make_shared<SimRegistry::Key>();
          }
          key = slot;
        }
        for (const auto& [name, value] : values.items()) {
          key->values[name] = ToValue(value);
        }
      }
      registry.roots_ = std::move(roots);
      registry.hives_.clear();
      registry.hives_[registry.current_user_] = registry.roots_.at(platform::kHkeyCurrentUser);
      return true;
    } catch (const std::exception&) {
      return false;
    }
  }

  static std::string Dump(const Json& json) {
    return json.dump(2, ' ', false, Json::error_handler_t::replace);
  }
};

std::string SimRegistry::ToJson() const {
  Json json = Json::object();
  for (const RegistryRootName& row : kRegistryRootNames) {
    SimRegistryJson::AddKey(*roots_.at(row.root), std::string(row.name), json);
  }
  return SimRegistryJson::Dump(json);
}

std::string SimRegistry::SubtreeJson(RegistryHandle root, std::string_view path) const {
  Json json = Json::object();
  const auto key = Find(root, path);
  const auto row =
      std::find_if(kRegistryRootNames.begin(), kRegistryRootNames.end(),
                   [&](const RegistryRootName& candidate) { return candidate.root == root; });
  if (key && row != kRegistryRootNames.end()) {
    std::string full(row->name);
    for (const std::string& name : SplitRegistryPathOrThrow(path)) {
      full += "\\" + name;
    }
    SimRegistryJson::AddKey(*key, full, json);
  }
  return SimRegistryJson::Dump(json);
}

bool SimRegistry::LoadJson(std::string_view json) {
  if (!handles_.empty()) {
    return false;
  }
  return SimRegistryJson::Load(*this, json);
}

bool SimRegistry::SaveFile(const std::filesystem::path& file) const {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << ToJson() << '\n';
  return static_cast<bool>(out.flush());
}

bool SimRegistry::LoadFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    return false;
  }
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return LoadJson(text);
}

}  // namespace fwu::sim
