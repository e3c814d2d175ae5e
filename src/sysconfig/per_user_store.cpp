#include "sysconfig/per_user_store.h"

namespace fwu {
namespace {

// Opens the section with the store's chain of keys, creating what is missing. An empty
// application name would put the section into the store parent itself, so it is refused.
std::int32_t OpenSection(const SystemContext& context, std::string_view section, RegistryKey& key) {
  if (context.application_name.empty()) {
    return platform::kRegErrorInvalidParameter;
  }
  RegistryKey software(context.registry);
  RegistryKey parent(context.registry);
  RegistryKey store(context.registry);
  std::int32_t status =
      software.Open(platform::kHkeyCurrentUser, kSoftwareKey, platform::kKeyStoreWrite);
  if (status == platform::kErrorSuccess) {
    status = parent.Create(software.Handle(), kStoreParentName, platform::kKeyStoreWrite);
  }
  if (status == platform::kErrorSuccess) {
    status = store.Create(parent.Handle(), context.application_name, platform::kKeyStoreWrite);
  }
  if (status == platform::kErrorSuccess) {
    status = key.Create(store.Handle(), section, platform::kKeyStoreWrite);
  }
  return status;
}

}  // namespace

std::string StorePath(std::string_view application_name) {
  std::string path(kStoreParentPath);
  path += '\\';
  path += application_name;
  return path;
}

std::int32_t WriteStoreValue(const SystemContext& context, std::string_view section,
                             std::string_view name, const RegistryValue& value) {
  RegistryKey key(context.registry);
  const std::int32_t status = OpenSection(context, section, key);
  return status == platform::kErrorSuccess ? key.WriteValue(value, name) : status;
}

std::int32_t ReadStoreNumber(const SystemContext& context, std::string_view section,
                             std::string_view name, std::uint32_t& number) {
  RegistryKey key(context.registry);
  const std::int32_t status = OpenSection(context, section, key);
  return status == platform::kErrorSuccess ? key.ReadNumber(number, name) : status;
}

}  // namespace fwu
