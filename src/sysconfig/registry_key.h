#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace fwu {

// A value as read: its registry type and its bytes, exactly as stored.
struct RegistryValue {
  std::uint32_t type = platform::kRegNone;
  std::vector<std::uint8_t> data;

  static RegistryValue Text(std::string_view text);   // REG_SZ, stored with its terminating zero
  static RegistryValue Number(std::uint32_t number);  // REG_DWORD, 4 bytes
};

// A read without a length limit.
inline constexpr std::uint32_t kAnyLength = 0xFFFFFFFFU;

// The owner of one open registry key; every registry access goes through one of these. Each
// operation returns the registry's status code, 0 for success. A key that fails to open or to
// be created leaves the key held so far in place.
class RegistryKey {
 public:
  explicit RegistryKey(platform::Registry& registry) : registry_(registry) {}
  ~RegistryKey();
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  std::int32_t Open(platform::RegistryHandle parent, std::string_view path, std::uint32_t access);
  // Opens or creates the key, creating every missing key along the path.
  std::int32_t Create(platform::RegistryHandle parent, std::string_view path,
                      std::uint32_t access = platform::kKeyAllAccess);
  // 0 as well when nothing was held.
  std::int32_t Close();

  // A 4-byte read whatever the stored type; a shorter value leaves the missing bytes zero.
  std::int32_t ReadNumber(std::uint32_t& number, std::string_view name) const;
  // The text up to its first zero, whatever the stored type. A value that does not fit
  // `capacity` bytes with a terminating zero fails (kRegErrorMoreData) and yields no text.
  std::int32_t ReadText(std::string& text, std::string_view name, std::uint32_t capacity) const;
  // The same two reads for values that must have their own type: another stored type fails
  // with kRegErrorUnsupportedType. ReadDword also wants exactly 4 bytes.
  std::int32_t ReadDword(std::uint32_t& number, std::string_view name) const;
  std::int32_t ReadString(std::string& text, std::string_view name, std::uint32_t capacity) const;
  // Type and bytes; fails with kRegErrorMoreData when the value is longer than `capacity`.
  std::int32_t ReadValue(RegistryValue& value, std::string_view name,
                         std::uint32_t capacity = kAnyLength) const;

  std::int32_t WriteNumber(std::uint32_t number, std::string_view name);
  std::int32_t WriteText(std::string_view text, std::string_view name);
  std::int32_t WriteValue(const RegistryValue& value, std::string_view name);
  std::int32_t DeleteValue(std::string_view name);

  // The name of the subkey at index; names longer than capacity - 1 characters fail.
  std::int32_t EnumSubkey(std::uint32_t index, std::string& name, std::uint32_t capacity) const;

  // An empty name is refused (kRegErrorInvalidParameter): the platform would take it as the
  // held key itself.
  std::int32_t DeleteSubkey(std::string_view name);
  // Deletes the subkey with everything below it, depth first; on the first failure below, that
  // status comes back and the subkey stays.
  std::int32_t DeleteTree(std::string_view name);

  platform::RegistryHandle Handle() const { return handle_; }

 private:
  platform::Registry& registry_;
  platform::RegistryHandle handle_ = 0;
};

// Deletes a subkey with its subtree as the platform family allows: by DeleteTree on the NT
// family, by one key deletion on Windows 9x, which takes the whole tree there.
std::int32_t DeleteKeyWithSubkeys(RegistryKey& parent, std::string_view name, bool is_nt);

}  // namespace fwu
