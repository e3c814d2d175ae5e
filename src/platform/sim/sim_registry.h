#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"
#include "platform/sim/registry_write_faults.h"

namespace fwu::sim {

// How the simulated Windows deletes keys: the NT family refuses a key that still has subkeys,
// Windows 9x takes the whole tree. HKEY_DYN_DATA exists only on Windows 9x.
enum class RegistryFamily { kNt, kWindows9x };

// A value as the registry stores it: its type and its bytes, exactly as they were set.
struct StoredValue {
  std::uint32_t type = platform::kRegNone;
  std::vector<std::uint8_t> data;

  static StoredValue Text(std::string_view text);   // REG_SZ with its terminating zero
  static StoredValue Number(std::uint32_t number);  // REG_DWORD, little-endian
  static StoredValue Binary(std::vector<std::uint8_t> bytes);

  bool operator==(const StoredValue&) const = default;
};

// The registry of the simulated PC: a tree of keys under HKEY_CURRENT_USER,
// HKEY_LOCAL_MACHINE and HKEY_DYN_DATA with case-insensitive, case-preserving names, typed
// values, subkeys enumerated in the registry's sorted order, access rights checked per handle,
// and every handle accounted for. It is saved to and loaded from a JSON file so that the
// simulated PC keeps its registry across restarts and runs. Used from one thread.
//
// Faults for tests: a limited user (no write access under HKEY_LOCAL_MACHINE), keys whose
// security denies writing, and failing writes, one at a time or all of them from a given
// write on, as a power loss would stop them.
class SimRegistry final : public platform::Registry {
 public:
  explicit SimRegistry(RegistryFamily family = RegistryFamily::kNt);
  ~SimRegistry() override;
  SimRegistry(const SimRegistry&) = delete;
  SimRegistry& operator=(const SimRegistry&) = delete;

  RegistryFamily Family() const { return family_; }
  void SetFamily(RegistryFamily family) { family_ = family; }

  // The seam.
  std::int32_t OpenKey(platform::RegistryHandle parent, const char* path, std::uint32_t access,
                       platform::RegistryHandle& key) override;
  std::int32_t CreateKey(platform::RegistryHandle parent, const char* path, std::uint32_t access,
                         platform::RegistryHandle& key) override;
  std::int32_t QueryValue(platform::RegistryHandle key, const char* name, std::uint32_t* type,
                          std::uint8_t* data, std::uint32_t* size) override;
  std::int32_t SetValue(platform::RegistryHandle key, const char* name, std::uint32_t type,
                        const std::uint8_t* data, std::uint32_t size) override;
  std::int32_t EnumKey(platform::RegistryHandle key, std::uint32_t index, char* name,
                       std::uint32_t* name_size) override;
  std::int32_t DeleteKey(platform::RegistryHandle key, const char* subkey) override;
  std::int32_t DeleteValue(platform::RegistryHandle key, const char* name) override;
  std::int32_t CloseKey(platform::RegistryHandle key) override;

  // Setting up and looking at the simulated machine. These bypass rights and faults and do not
  // count as writes. Paths are below a root, without a leading backslash.
  void PutKey(platform::RegistryHandle root, std::string_view path);
  void PutValue(platform::RegistryHandle root, std::string_view path, std::string_view name,
                StoredValue value);
  void RemoveValue(platform::RegistryHandle root, std::string_view path, std::string_view name);
  void RemoveKey(platform::RegistryHandle root, std::string_view path);  // with its subtree
  bool HasKey(platform::RegistryHandle root, std::string_view path) const;
  std::optional<StoredValue> Value(platform::RegistryHandle root, std::string_view path,
                                   std::string_view name) const;
  std::vector<std::string> Subkeys(platform::RegistryHandle root, std::string_view path) const;
  std::vector<std::string> ValueNames(platform::RegistryHandle root, std::string_view path) const;

  // Logs another user on: HKEY_CURRENT_USER shows that user's hive from now on (an empty one
  // the first time). Only the current user's hive goes into the JSON.
  void SwitchUser(std::string_view user);
  const std::string& CurrentUser() const { return current_user_; }

  // A user without administrator rights: opening or creating a key below HKEY_LOCAL_MACHINE
  // with any write right, and deleting there, is denied.
  void SetLimitedUser(bool limited) { limited_user_ = limited; }
  // The key's security denies every write right: opening it for writing, creating below it
  // and deleting it fail with kRegErrorAccessDenied.
  void DenyWrites(platform::RegistryHandle root, std::string_view path);

  // Writes are calls that change the registry: setting or deleting a value, deleting a key,
  // creating at least one key. Failed writes return kRegErrorIoFailed and change nothing.
  std::uint32_t WriteCount() const { return writes_; }
  // Every write after the next `writes` writes fails, as if the power had gone.
  void StopWritesAfter(std::uint32_t writes);
  // Only the n-th write from now (1 for the next one) fails.
  void FailWrite(std::uint32_t n);
  void ClearWriteFaults();

  std::size_t OpenHandleCount() const { return handles_.size(); }

  // The whole registry, or the subtree of one key, as readable JSON: one member per key path
  // (in enumeration order) holding that key's values.
  std::string ToJson() const;
  std::string SubtreeJson(platform::RegistryHandle root, std::string_view path) const;
  // Replaces the whole registry with the JSON's keys and values; false (and the registry
  // unchanged) when the text is not such JSON. Open handles must all be closed.
  bool LoadJson(std::string_view json);
  bool SaveFile(const std::filesystem::path& file) const;
  bool LoadFile(const std::filesystem::path& file);

 private:
  struct NameLess {
    using is_transparent = void;
    bool operator()(std::string_view left, std::string_view right) const;
  };
  struct Key {
    std::map<std::string, std::shared_ptr<Key>, NameLess> subkeys;
    std::map<std::string, StoredValue, NameLess> values;
    bool deleted = false;
    bool writes_denied = false;
  };
  struct OpenKeyEntry {
    std::shared_ptr<Key> key;
    std::uint32_t access = 0;
    platform::RegistryHandle root = 0;
  };
  using Roots = std::map<platform::RegistryHandle, std::shared_ptr<Key>>;

  std::int32_t Resolve(platform::RegistryHandle handle, OpenKeyEntry& entry) const;
  bool Denied(const OpenKeyEntry& from, const Key& key, std::uint32_t access) const;
  std::int32_t AdmitWrite();
  platform::RegistryHandle NewHandle(OpenKeyEntry entry);
  std::shared_ptr<Key> Find(platform::RegistryHandle root, std::string_view path) const;
  std::shared_ptr<Key> FindOrAdd(platform::RegistryHandle root, std::string_view path);
  static void MarkDeleted(Key& key);
  static Roots EmptyRoots();

  friend class SimRegistryJson;

  RegistryFamily family_;
  Roots roots_;
  std::map<std::string, std::shared_ptr<Key>, NameLess> hives_;
  std::string current_user_ = "User";
  std::map<platform::RegistryHandle, OpenKeyEntry> handles_;
  platform::RegistryHandle next_handle_ = 0x1000;
  bool limited_user_ = false;
  std::uint32_t writes_ = 0;
  RegistryWriteFaults write_faults_;
};

}  // namespace fwu::sim
