#include "sysconfig/registry_key.h"

#include <algorithm>
#include <cstring>

namespace fwu {
namespace {

// Subkey names are at most 255 characters.
constexpr std::uint32_t kTreeNameCapacity = 256;
// A value that grows between the size query and the read is asked for again, a few times.
constexpr int kReadAttempts = 4;

// The text of a read value: up to the first zero, or all of it when a zero would still fit.
std::int32_t TextOf(const RegistryValue& value, std::uint32_t capacity, std::string& text) {
  const auto end = std::find(value.data.begin(), value.data.end(), std::uint8_t{0});
  if (end == value.data.end() && value.data.size() >= capacity) {
    return platform::kRegErrorMoreData;
  }
  text.assign(value.data.begin(), end);
  return platform::kErrorSuccess;
}

}  // namespace

RegistryValue RegistryValue::Text(std::string_view text) {
  RegistryValue value{platform::kRegSz, {text.begin(), text.end()}};
  value.data.push_back(0);
  return value;
}

RegistryValue RegistryValue::Number(std::uint32_t number) {
  RegistryValue value{platform::kRegDword, std::vector<std::uint8_t>(sizeof number)};
  std::memcpy(value.data.data(), &number, sizeof number);
  return value;
}

RegistryKey::~RegistryKey() {
  Close();
}

std::int32_t RegistryKey::Open(platform::RegistryHandle parent, std::string_view path,
                               std::uint32_t access) {
  platform::RegistryHandle opened = 0;
  const std::int32_t status = registry_.OpenKey(parent, std::string(path).c_str(), access, opened);
  if (status == platform::kErrorSuccess) {
    Close();
    handle_ = opened;
  }
  return status;
}

std::int32_t RegistryKey::Create(platform::RegistryHandle parent, std::string_view path,
                                 std::uint32_t access) {
  platform::RegistryHandle created = 0;
  const std::int32_t status =
      registry_.CreateKey(parent, std::string(path).c_str(), access, created);
  if (status == platform::kErrorSuccess) {
    Close();
    handle_ = created;
  }
  return status;
}

std::int32_t RegistryKey::Close() {
  if (handle_ == 0) {
    return platform::kErrorSuccess;
  }
  const std::int32_t status = registry_.CloseKey(handle_);
  handle_ = 0;
  return status;
}

std::int32_t RegistryKey::ReadNumber(std::uint32_t& number, std::string_view name) const {
  RegistryValue value;
  const std::int32_t status = ReadValue(value, name, sizeof number);
  if (status == platform::kErrorSuccess) {
    value.data.resize(sizeof number, 0);
    std::memcpy(&number, value.data.data(), sizeof number);
  }
  return status;
}

std::int32_t RegistryKey::ReadText(std::string& text, std::string_view name,
                                   std::uint32_t capacity) const {
  RegistryValue value;
  const std::int32_t status = ReadValue(value, name, capacity);
  return status == platform::kErrorSuccess ? TextOf(value, capacity, text) : status;
}

std::int32_t RegistryKey::ReadDword(std::uint32_t& number, std::string_view name) const {
  RegistryValue value;
  const std::int32_t status = ReadValue(value, name, sizeof number);
  if (status != platform::kErrorSuccess) {
    return status;
  }
  if (value.type != platform::kRegDword || value.data.size() != sizeof number) {
    return platform::kRegErrorUnsupportedType;
  }
  std::memcpy(&number, value.data.data(), sizeof number);
  return platform::kErrorSuccess;
}

std::int32_t RegistryKey::ReadString(std::string& text, std::string_view name,
                                     std::uint32_t capacity) const {
  RegistryValue value;
  const std::int32_t status = ReadValue(value, name, capacity);
  if (status != platform::kErrorSuccess) {
    return status;
  }
  if (value.type != platform::kRegSz) {
    return platform::kRegErrorUnsupportedType;
  }
  return TextOf(value, capacity, text);
}

std::int32_t RegistryKey::ReadValue(RegistryValue& value, std::string_view name,
                                    std::uint32_t capacity) const {
  const std::string value_name(name);
  std::int32_t status = platform::kRegErrorMoreData;
  for (int attempt = 0; attempt < kReadAttempts && status == platform::kRegErrorMoreData;
       ++attempt) {
    std::uint32_t size = capacity;
    if (capacity == kAnyLength) {
      status = registry_.QueryValue(handle_, value_name.c_str(), nullptr, nullptr, &size);
      if (status != platform::kErrorSuccess) {
        return status;
      }
    }
    // One spare byte keeps the buffer non-empty for a zero-length value.
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(size) + 1);
    std::uint32_t type = platform::kRegNone;
    status = registry_.QueryValue(handle_, value_name.c_str(), &type, buffer.data(), &size);
    if (status == platform::kErrorSuccess) {
      buffer.resize(size);
      value = RegistryValue{type, std::move(buffer)};
    } else if (capacity != kAnyLength) {
      return status;
    }
  }
  return status;
}

std::int32_t RegistryKey::WriteNumber(std::uint32_t number, std::string_view name) {
  return WriteValue(RegistryValue::Number(number), name);
}

std::int32_t RegistryKey::WriteText(std::string_view text, std::string_view name) {
  return WriteValue(RegistryValue::Text(text), name);
}

std::int32_t RegistryKey::WriteValue(const RegistryValue& value, std::string_view name) {
  return registry_.SetValue(handle_, std::string(name).c_str(), value.type, value.data.data(),
                            static_cast<std::uint32_t>(value.data.size()));
}

std::int32_t RegistryKey::DeleteValue(std::string_view name) {
  return registry_.DeleteValue(handle_, std::string(name).c_str());
}

std::int32_t RegistryKey::EnumSubkey(std::uint32_t index, std::string& name,
                                     std::uint32_t capacity) const {
  std::vector<char> buffer(capacity + 1U);
  std::uint32_t length = capacity;
  const std::int32_t status = registry_.EnumKey(handle_, index, buffer.data(), &length);
  if (status == platform::kErrorSuccess) {
    name.assign(buffer.data(), std::min<std::size_t>(length, capacity));
  }
  return status;
}

std::int32_t RegistryKey::DeleteSubkey(std::string_view name) {
  if (name.empty()) {
    return platform::kRegErrorInvalidParameter;
  }
  return registry_.DeleteKey(handle_, std::string(name).c_str());
}

std::int32_t RegistryKey::DeleteTree(std::string_view name) {
  if (name.empty()) {
    return platform::kRegErrorInvalidParameter;
  }
  RegistryKey subkey(registry_);
  if (const std::int32_t status = subkey.Open(handle_, name, platform::kKeyAllAccess);
      status != platform::kErrorSuccess) {
    return status;
  }
  std::string child;
  while (subkey.EnumSubkey(0, child, kTreeNameCapacity) == platform::kErrorSuccess) {
    if (const std::int32_t status = subkey.DeleteTree(child); status != platform::kErrorSuccess) {
      return status;
    }
  }
  subkey.Close();
  return DeleteSubkey(name);
}

std::int32_t DeleteKeyWithSubkeys(RegistryKey& parent, std::string_view name, bool is_nt) {
  return is_nt ? parent.DeleteTree(name) : parent.DeleteSubkey(name);
}

}  // namespace fwu
