#include "platform/sim/sim_registry.h"

#include <algorithm>
#include <utility>

#include "platform/sim/registry_path.h"

namespace fwu::sim {

using platform::RegistryHandle;

namespace {

constexpr std::uint32_t kAllRights = 0xFFFFFFFFU;  // what a predefined root grants

char Upper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

StoredValue StoredValue::Text(std::string_view text) {
  StoredValue value{platform::kRegSz, {text.begin(), text.end()}};
  value.data.push_back(0);
  return value;
}

StoredValue StoredValue::Number(std::uint32_t number) {
  return {platform::kRegDword,
          {static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8U),
           static_cast<std::uint8_t>(number >> 16U), static_cast<std::uint8_t>(number >> 24U)}};
}

StoredValue StoredValue::Binary(std::vector<std::uint8_t> bytes) {
  return {platform::kRegBinary, std::move(bytes)};
}

bool SimRegistry::NameLess::operator()(std::string_view left, std::string_view right) const {
  return std::lexicographical_compare(
      left.begin(), left.end(), right.begin(), right.end(), [](char a, char b) {
        return static_cast<unsigned char>(Upper(a)) < static_cast<unsigned char>(Upper(b));
      });
}

SimRegistry::SimRegistry(RegistryFamily family) : family_(family), roots_(EmptyRoots()) {
  hives_[current_user_] = roots_.at(platform::kHkeyCurrentUser);
}

void SimRegistry::SwitchUser(std::string_view user) {
  auto& hive = hives_[std::string(user)];
  if (!hive) {
    hive = std::make_shared<Key>();
  }
  roots_[platform::kHkeyCurrentUser] = hive;
  current_user_ = std::string(user);
}

SimRegistry::~SimRegistry() = default;

std::int32_t SimRegistry::Resolve(RegistryHandle handle, OpenKeyEntry& entry) const {
  if (const auto root = roots_.find(handle); root != roots_.end()) {
    if (handle == platform::kHkeyDynData && family_ != RegistryFamily::kWindows9x) {
      return platform::kRegErrorInvalidHandle;
    }
    entry = {root->second, kAllRights, handle};
    return platform::kErrorSuccess;
  }
  const auto open = handles_.find(handle);
  if (open == handles_.end()) {
    return platform::kRegErrorInvalidHandle;
  }
  if (open->second.key->deleted) {
    return platform::kRegErrorKeyDeleted;
  }
  entry = open->second;
  return platform::kErrorSuccess;
}

bool SimRegistry::Denied(const OpenKeyEntry& from, const Key& key, std::uint32_t access) const {
  if ((access & platform::kKeyWriteRights) == 0) {
    return false;
  }
  return (limited_user_ && from.root == platform::kHkeyLocalMachine) || key.writes_denied;
}

std::int32_t SimRegistry::AdmitWrite() {
  if (!write_faults_.Admit()) {
    return platform::kRegErrorIoFailed;
  }
  ++writes_;
  return platform::kErrorSuccess;
}

RegistryHandle SimRegistry::NewHandle(OpenKeyEntry entry) {
  const RegistryHandle handle = next_handle_;
  next_handle_ += 4;
  handles_.emplace(handle, std::move(entry));
  return handle;
}

std::int32_t SimRegistry::OpenKey(RegistryHandle parent, const char* path, std::uint32_t access,
                                  RegistryHandle& key) {
  OpenKeyEntry from;
  if (const std::int32_t status = Resolve(parent, from); status != platform::kErrorSuccess) {
    return status;
  }
  const auto names = SplitRegistryPath(path);
  if (!names) {
    return platform::kRegErrorBadPathname;
  }
  std::shared_ptr<Key> target = from.key;
  for (const std::string& name : *names) {
    const auto child = target->subkeys.find(name);
    if (child == target->subkeys.end()) {
      return platform::kRegErrorFileNotFound;
    }
    target = child->second;
  }
  if (Denied(from, *target, access)) {
    return platform::kRegErrorAccessDenied;
  }
  key = NewHandle({target, access, from.root});
  return platform::kErrorSuccess;
}

std::int32_t SimRegistry::CreateKey(RegistryHandle parent, const char* path, std::uint32_t access,
                                    RegistryHandle& key) {
  OpenKeyEntry from;
  if (const std::int32_t status = Resolve(parent, from); status != platform::kErrorSuccess) {
    return status;
  }
  const auto names = SplitRegistryPath(path);
  if (!names) {
    return platform::kRegErrorBadPathname;
  }
  std::shared_ptr<Key> target = from.key;
  std::size_t existing = 0;
  for (; existing < names->size(); ++existing) {
    const auto child = target->subkeys.find((*names)[existing]);
    if (child == target->subkeys.end()) {
      break;
    }
    target = child->second;
  }
  if (existing < names->size()) {
    const bool parent_lacks_right =
        existing == 0 && (from.access & platform::kKeyCreateSubKey) == 0;
    const bool machine_denied = limited_user_ && from.root == platform::kHkeyLocalMachine;
    if (parent_lacks_right || machine_denied || target->writes_denied) {
      return platform::kRegErrorAccessDenied;
    }
    if (const std::int32_t status = AdmitWrite(); status != platform::kErrorSuccess) {
      return status;
    }
    for (; existing < names->size(); ++existing) {
      auto created = std::make_shared<Key>();
      target->subkeys.emplace((*names)[existing], created);
      target = std::move(created);
    }
  } else if (Denied(from, *target, access)) {
    return platform::kRegErrorAccessDenied;
  }
  key = NewHandle({target, access, from.root});
  return platform::kErrorSuccess;
}

std::int32_t SimRegistry::QueryValue(RegistryHandle key, const char* name, std::uint32_t* type,
                                     std::uint8_t* data, std::uint32_t* size) {
  OpenKeyEntry entry;
  if (const std::int32_t status = Resolve(key, entry); status != platform::kErrorSuccess) {
    return status;
  }
  if ((entry.access & platform::kKeyQueryValue) == 0) {
    return platform::kRegErrorAccessDenied;
  }
  if (data != nullptr && size == nullptr) {
    return platform::kRegErrorInvalidParameter;
  }
  const auto found = entry.key->values.find(std::string_view(name == nullptr ? "" : name));
  if (found == entry.key->values.end()) {
    return platform::kRegErrorFileNotFound;
  }
  const StoredValue& value = found->second;
  const auto length = static_cast<std::uint32_t>(value.data.size());
  if (type != nullptr) {
    *type = value.type;
  }
  if (data == nullptr) {
    if (size != nullptr) {
      *size = length;
    }
    return platform::kErrorSuccess;
  }
  if (*size < length) {
    *size = length;
    return platform::kRegErrorMoreData;
  }
  std::copy(value.data.begin(), value.data.end(), data);
  *size = length;
  return platform::kErrorSuccess;
}

std::int32_t SimRegistry::SetValue(RegistryHandle key, const char* name, std::uint32_t type,
                                   const std::uint8_t* data, std::uint32_t size) {
  OpenKeyEntry entry;
  if (const std::int32_t status = Resolve(key, entry); status != platform::kErrorSuccess) {
    return status;
  }
  if ((entry.access & platform::kKeySetValue) == 0) {
    return platform::kRegErrorAccessDenied;
  }
  if (data == nullptr && size != 0) {
    return platform::kRegErrorInvalidParameter;
  }
  if (const std::int32_t status = AdmitWrite(); status != platform::kErrorSuccess) {
    return status;
  }
  StoredValue value{type, {}};
  if (size != 0) {
    value.data.assign(data, data + size);
  }
  const std::string_view value_name(name == nullptr ? "" : name);
  if (const auto found = entry.key->values.find(value_name); found != entry.key->values.end()) {
    found->second = std::move(value);
  } else {
    entry.key->values.emplace(std::string(value_name), std::move(value));
  }
  return platform::kErrorSuccess;
}

std::int32_t SimRegistry::EnumKey(RegistryHandle key, std::uint32_t index, char* name,
                                  std::uint32_t* name_size) {
  OpenKeyEntry entry;
  if (const std::int32_t status = Resolve(key, entry); status != platform::kErrorSuccess) {
    return status;
  }
  if ((entry.access & platform::kKeyEnumerateSubKeys) == 0) {
    return platform::kRegErrorAccessDenied;
  }
  if (name == nullptr || name_size == nullptr) {
    return platform::kRegErrorInvalidParameter;
  }
  if (index >= entry.key->subkeys.size()) {
    return platform::kRegErrorNoMoreItems;
  }
  const std::string& found = std::next(entry.key->subkeys.begin(), index)->first;
  if (found.size() + 1 > *name_size) {
    return platform::kRegErrorMoreData;
  }
  std::copy(found.begin(), found.end(), name);
  name[found.size()] = '\0';
  *name_size = static_cast<std::uint32_t>(found.size());
  return platform::kErrorSuccess;
}

std::int32_t SimRegistry::DeleteKey(RegistryHandle key, const char* subkey) {
  OpenKeyEntry entry;
  if (const std::int32_t status = Resolve(key, entry); status != platform::kErrorSuccess) {
    return status;
  }
  const auto names = SplitRegistryPath(subkey);
  if (!names) {
    return platform::kRegErrorBadPathname;
  }
  // As on Windows, an empty name deletes the key the handle holds.
  std::shared_ptr<Key> parent;
  std::shared_ptr<Key> target = entry.key;
  std::string last;
  if (names->empty()) {
    if (roots_.count(key) != 0) {
      return platform::kRegErrorAccessDenied;
    }
    if ((entry.access & platform::kDeleteAccess) == 0) {
      return platform::kRegErrorAccessDenied;
    }
    // Find the holder of this key by a walk from its root.
    std::vector<std::shared_ptr<Key>> pending{roots_.at(entry.root)};
    while (!pending.empty() && !parent) {
      const std::shared_ptr<Key> candidate = pending.back();
      pending.pop_back();
      for (const auto& [name, child] : candidate->subkeys) {
        if (child == target) {
          parent = candidate;
          last = name;
          break;
        }
        pending.push_back(child);
      }
    }
    if (!parent) {
      return platform::kRegErrorKeyDeleted;
    }
  } else {
    for (const std::string& name : *names) {
      const auto child = target->subkeys.find(name);
      if (child == target->subkeys.end()) {
        return platform::kRegErrorFileNotFound;
      }
      parent = target;
      target = child->second;
      last = child->first;
    }
  }
  const bool machine_denied = limited_user_ && entry.root == platform::kHkeyLocalMachine;
  if (machine_denied || target->writes_denied) {
    return platform::kRegErrorAccessDenied;
  }
  if (family_ == RegistryFamily::kNt && !target->subkeys.empty()) {
    return platform::kRegErrorAccessDenied;
  }
  if (const std::int32_t status = AdmitWrite(); status != platform::kErrorSuccess) {
    return status;
  }
  MarkDeleted(*target);
  parent->subkeys.erase(last);
  return platform::kErrorSuccess;
}

std::int32_t SimRegistry::DeleteValue(RegistryHandle key, const char* name) {
  OpenKeyEntry entry;
  if (const std::int32_t status = Resolve(key, entry); status != platform::kErrorSuccess) {
    return status;
  }
  if ((entry.access & platform::kKeySetValue) == 0) {
    return platform::kRegErrorAccessDenied;
  }
  const auto found = entry.key->values.find(std::string_view(name == nullptr ? "" : name));
  if (found == entry.key->values.end()) {
    return platform::kRegErrorFileNotFound;
  }
  if (const std::int32_t status = AdmitWrite(); status != platform::kErrorSuccess) {
    return status;
  }
  entry.key->values.erase(found);
  return platform::kErrorSuccess;
}

std::int32_t SimRegistry::CloseKey(RegistryHandle key) {
  if (roots_.count(key) != 0) {
    return platform::kErrorSuccess;
  }
  return handles_.erase(key) != 0 ? platform::kErrorSuccess : platform::kRegErrorInvalidHandle;
}

void SimRegistry::MarkDeleted(Key& key) {
  key.deleted = true;
  for (auto& [name, child] : key.subkeys) {
    MarkDeleted(*child);
  }
}

std::shared_ptr<SimRegistry::Key> SimRegistry::Find(RegistryHandle root,
                                                    std::string_view path) const {
  std::shared_ptr<Key> key = roots_.at(root);
  for (const std::string& name : SplitRegistryPathOrThrow(path)) {
    const auto child = key->subkeys.find(name);
    if (child == key->subkeys.end()) {
      return nullptr;
    }
    key = child->second;
  }
  return key;
}

std::shared_ptr<SimRegistry::Key> SimRegistry::FindOrAdd(RegistryHandle root,
                                                         std::string_view path) {
  std::shared_ptr<Key> key = roots_.at(root);
  for (const std::string& name : SplitRegistryPathOrThrow(path)) {
    auto& slot = key->subkeys[name];
    if (!slot) {
      slot = std::make_shared<Key>();
    }
    key = slot;
  }
  return key;
}

void SimRegistry::PutKey(RegistryHandle root, std::string_view path) {
  FindOrAdd(root, path);
}

void SimRegistry::PutValue(RegistryHandle root, std::string_view path, std::string_view name,
                           StoredValue value) {
  auto& values = FindOrAdd(root, path)->values;
  if (const auto found = values.find(name); found != values.end()) {
    found->second = std::move(value);
  } else {
    values.emplace(std::string(name), std::move(value));
  }
}

void SimRegistry::RemoveValue(RegistryHandle root, std::string_view path, std::string_view name) {
  if (const auto key = Find(root, path)) {
    if (const auto found = key->values.find(name); found != key->values.end()) {
      key->values.erase(found);
    }
  }
}

void SimRegistry::RemoveKey(RegistryHandle root, std::string_view path) {
  std::vector<std::string> names = SplitRegistryPathOrThrow(path);
  if (names.empty()) {
    return;
  }
  const std::string last = names.back();
  names.pop_back();
  std::string parent_path;
  for (const std::string& name : names) {
    parent_path += (parent_path.empty() ? "" : "\\") + name;
  }
  if (const auto parent = Find(root, parent_path)) {
    if (const auto found = parent->subkeys.find(last); found != parent->subkeys.end()) {
      MarkDeleted(*found->second);
      parent->subkeys.erase(found);
    }
  }
}

bool SimRegistry::HasKey(RegistryHandle root, std::string_view path) const {
  return Find(root, path) != nullptr;
}

std::optional<StoredValue> SimRegistry::Value(RegistryHandle root, std::string_view path,
                                              std::string_view name) const {
  if (const auto key = Find(root, path)) {
    if (const auto found = key->values.find(name); found != key->values.end()) {
      return found->second;
    }
  }
  return std::nullopt;
}

std::vector<std::string> SimRegistry::Subkeys(RegistryHandle root, std::string_view path) const {
  std::vector<std::string> names;
  if (const auto key = Find(root, path)) {
    for (const auto& [name, child] : key->subkeys) {
      names.push_back(name);
    }
  }
  return names;
}

std::vector<std::string> SimRegistry::ValueNames(RegistryHandle root, std::string_view path) const {
  std::vector<std::string> names;
  if (const auto key = Find(root, path)) {
    for (const auto& [name, value] : key->values) {
      names.push_back(name);
    }
  }
  return names;
}

SimRegistry::Roots SimRegistry::EmptyRoots() {
  Roots roots;
  for (const RegistryRootName& row : kRegistryRootNames) {
    roots[row.root] = std::make_shared<Key>();
  }
  return roots;
}

void SimRegistry::DenyWrites(RegistryHandle root, std::string_view path) {
  FindOrAdd(root, path)->writes_denied = true;
}

void SimRegistry::StopWritesAfter(std::uint32_t writes) {
  write_faults_.StopAfter(writes);
}

void SimRegistry::FailWrite(std::uint32_t n) {
  write_faults_.FailNth(n);
}

void SimRegistry::ClearWriteFaults() {
  write_faults_.Clear();
}

}  // namespace fwu::sim
