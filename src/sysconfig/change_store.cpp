#include "sysconfig/change_store.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "sysconfig/restore.h"

namespace fwu {
namespace {

constexpr std::string_view kSoftwareKey = "Software";
// The store itself, as a section below it.
constexpr std::string_view kStoreSection{};
constexpr std::uint32_t kStoreOriginPreexisting = 1;
constexpr std::uint32_t kStoreOriginCreated = 0;
constexpr std::uint32_t kSubkeyNameCapacity = 256;

}  // namespace

ChangeStore::ChangeStore(const SystemContext& context) : context_(context) {}

std::string ChangeStore::Path() const {
  std::string path(kStoreParentPath);
  path += '\\';
  path += context_.application_name;
  return path;
}

std::string ChangeStore::ChangePath() const {
  return Path() + '\\' + std::string(kChangeKey);
}

std::int32_t ChangeStore::OpenChangeKey(RegistryKey& change_key) const {
  if (context_.application_name.empty()) {
    return platform::kRegErrorInvalidParameter;
  }
  return change_key.Open(platform::kHkeyCurrentUser, ChangePath(), platform::kKeyRead);
}

// Store values are read and written one at a time, each through its own chain of keys:
// "Software" is opened, "Quentar_ODD", the application name and the section below it are
// created where missing (all with KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE), the one value
// is read or set, and every key is closed again. A read therefore creates the store. An empty
// application name would put the section into the store parent itself, so it is refused.
std::int32_t ChangeStore::OpenSection(std::string_view section, RegistryKey& key) const {
  if (context_.application_name.empty()) {
    return platform::kRegErrorInvalidParameter;
  }
  RegistryKey software(context_.registry);
  RegistryKey parent(context_.registry);
  RegistryKey store(context_.registry);
  std::int32_t status =
      software.Open(platform::kHkeyCurrentUser, kSoftwareKey, platform::kKeyStoreWrite);
  if (status == platform::kErrorSuccess) {
    status = parent.Create(software.Handle(), kStoreParentName, platform::kKeyStoreWrite);
  }
  if (status == platform::kErrorSuccess) {
    status = store.Create(parent.Handle(), context_.application_name, platform::kKeyStoreWrite);
  }
  if (status == platform::kErrorSuccess) {
    status = key.Create(store.Handle(), section, platform::kKeyStoreWrite);
  }
  return status;
}

std::int32_t ChangeStore::WriteValue(std::string_view section, std::string_view name,
                                     const RegistryValue& value) const {
  RegistryKey key(context_.registry);
  const std::int32_t status = OpenSection(section, key);
  return status == platform::kErrorSuccess ? key.WriteValue(value, name) : status;
}

std::int32_t ChangeStore::ReadNumber(std::string_view section, std::string_view name,
                                     std::uint32_t& number) const {
  RegistryKey key(context_.registry);
  const std::int32_t status = OpenSection(section, key);
  return status == platform::kErrorSuccess ? key.ReadNumber(number, name) : status;
}

bool ChangeStore::Exists() const {
  RegistryKey store(context_.registry);
  return store.Open(platform::kHkeyCurrentUser, Path(), platform::kKeyAllAccess) ==
         platform::kErrorSuccess;
}

bool ChangeStore::HasRecords() const {
  RegistryKey change_key(context_.registry);
  return OpenChangeKey(change_key) == platform::kErrorSuccess && !StoredRecords(change_key).empty();
}

std::int32_t ChangeStore::HighestRecord() const {
  RegistryKey change_key(context_.registry);
  if (OpenChangeKey(change_key) != platform::kErrorSuccess) {
    return 0;
  }
  std::int64_t highest = 0;
  for (const StoredRecord& stored : StoredRecords(change_key)) {
    if (stored.number <= std::numeric_limits<std::int32_t>::max()) {
      highest = std::max(highest, stored.number);
    }
  }
  return static_cast<std::int32_t>(highest);
}

void ChangeStore::LoadCount() {
  std::uint32_t changed = 0;
  // The program never writes a count the counter cannot hold. Taken as it stands, such a value
  // would make the counter negative, and the next records would be numbered 0, -1, ... under
  // names the restore never takes for records: the settings they describe would stay changed
  // for good. It counts as no count at all.
  if (ReadNumber(kStoreSection, kChangedValue, changed) != platform::kErrorSuccess ||
      changed > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())) {
    changed = 0;
  }
  // A run cut off in the middle of a change pass, or an edited store, can leave records above
  // "Changed". Numbering on from "Changed" would write over them, and the settings they hold
  // would never come back.
  count_ = std::max(static_cast<std::int32_t>(changed), HighestRecord());
}

void ChangeStore::SaveCount() {
  WriteValue(kStoreSection, kChangedValue,
             RegistryValue::Number(static_cast<std::uint32_t>(count_)));
  context_.Yield();
}

bool ChangeStore::ReadOrigin() const {
  RegistryKey parent(context_.registry);
  if (parent.Open(platform::kHkeyCurrentUser, kStoreParentPath, platform::kKeyAllAccess) !=
      platform::kErrorSuccess) {
    return false;
  }
  RegistryKey store(context_.registry);
  std::uint32_t origin = 0;
  if (store.Open(platform::kHkeyCurrentUser, Path(), platform::kKeyAllAccess) !=
          platform::kErrorSuccess ||
      store.ReadNumber(origin, kStoreOriginValue) != platform::kErrorSuccess) {
    return true;
  }
  return origin == kStoreOriginPreexisting;
}

void ChangeStore::SaveOrigin(bool store_parent_preexisting) const {
  RegistryKey store(context_.registry);
  if (store.Open(platform::kHkeyCurrentUser, Path(), platform::kKeyAllAccess) !=
      platform::kErrorSuccess) {
    return;
  }
  store.WriteNumber(store_parent_preexisting ? kStoreOriginPreexisting : kStoreOriginCreated,
                    kStoreOriginValue);
  store.Close();
  context_.Yield();
}

// Whether the record key of this number is already in the store; nullopt when that cannot be
// told, and nothing may then be written under the number.
std::optional<bool> ChangeStore::RecordExists(std::int32_t number) const {
  RegistryKey record_key(context_.registry);
  const std::int32_t status = record_key.Open(
      platform::kHkeyCurrentUser, ChangePath() + '\\' + RecordKeyName(number), platform::kKeyRead);
  if (status == platform::kErrorSuccess) {
    return true;
  }
  if (status == platform::kRegErrorFileNotFound) {
    return false;
  }
  return std::nullopt;
}

// The first number above the counter that no record key holds yet.
std::optional<std::int32_t> ChangeStore::FreeRecordNumber() const {
  for (std::int32_t number = std::max(count_, 0);
       number < std::numeric_limits<std::int32_t>::max();) {
    ++number;
    const std::optional<bool> exists = RecordExists(number);
    if (!exists) {
      return std::nullopt;
    }
    if (!*exists) {
      return number;
    }
  }
  return std::nullopt;
}

// A record key written only in part holds nothing the restore could use; it goes again, so that
// it neither keeps the store alive nor blocks its number.
void ChangeStore::RemovePartialRecord(std::int32_t number) const {
  RegistryKey change_key(context_.registry);
  if (change_key.Open(platform::kHkeyCurrentUser, ChangePath(), platform::kKeyAllAccess) ==
      platform::kErrorSuccess) {
    change_key.DeleteSubkey(RecordKeyName(number));
  }
}

bool ChangeStore::Write(const ChangeRecord& record) {
  const std::optional<std::int32_t> free_number = FreeRecordNumber();
  if (!free_number) {
    return false;
  }
  const std::int32_t number = *free_number;
  const std::string section = RecordSection(number);
  const RegistryValue old_value = record.type == RecordType::kText
                                      ? RegistryValue::Text(record.text)
                                      : RegistryValue::Number(record.number);
  const bool written =
      WriteValue(section, kSubKeyNameValue, RegistryValue::Text(record.key_path)) ==
          platform::kErrorSuccess &&
      WriteValue(section, kValueNameValue, RegistryValue::Text(record.value_name)) ==
          platform::kErrorSuccess &&
      WriteValue(section, kValueTypeValue,
                 RegistryValue::Number(static_cast<std::uint32_t>(record.type))) ==
          platform::kErrorSuccess &&
      WriteValue(section, kValueValue, old_value) == platform::kErrorSuccess &&
      WriteValue(kStoreSection, kChangedValue,
                 RegistryValue::Number(static_cast<std::uint32_t>(number))) ==
          platform::kErrorSuccess;
  if (written) {
    count_ = number;
  } else {
    RemovePartialRecord(number);
  }
  return written;
}

void ChangeStore::Restore() {
  RegistryKey change_key(context_.registry);
  if (const std::int32_t status = OpenChangeKey(change_key); status != platform::kErrorSuccess) {
    // Without a "Change" key no record is left; a key that is there but cannot be read may
    // still hold some, and the store stays.
    if (status == platform::kRegErrorFileNotFound) {
      count_ = 0;
    }
    return;
  }
  // Newest first: when a setting was recorded more than once, its oldest record holds the value
  // from before the first change, and that is the one that must remain.
  std::vector<StoredRecord> records = StoredRecords(change_key);
  std::sort(records.begin(), records.end(),
            [](const StoredRecord& left, const StoredRecord& right) {
              return left.number > right.number;
            });
  for (const StoredRecord& record : records) {
    if (RestoreRecord(context_, change_key, record.name) &&
        change_key.DeleteSubkey(record.name) == platform::kErrorSuccess) {
      --count_;
    }
  }
  // What the store still holds decides whether it stays, not the count: a store whose
  // "Changed" fell short of its records, or went past them, must neither lose a record that
  // could not be given back nor outlive its last one.
  const std::size_t left = StoredRecords(change_key).size();
  if (left == 0) {
    count_ = 0;
  } else if (std::cmp_less(count_, left)) {
    count_ = static_cast<std::int32_t>(
        std::min<std::size_t>(left, std::numeric_limits<std::int32_t>::max()));
  }
}

void ChangeStore::Remove(bool store_parent_preexisting) const {
  RegistryKey parent(context_.registry);
  if (parent.Open(platform::kHkeyCurrentUser, kStoreParentPath, platform::kKeyAllAccess) !=
      platform::kErrorSuccess) {
    return;
  }
  DeleteKeyWithSubkeys(parent, context_.application_name, context_.is_nt);
  if (store_parent_preexisting) {
    return;
  }
  // The parent is shared by every program file name's store: another one's records must stay.
  std::string other_store;
  if (parent.EnumSubkey(0, other_store, kSubkeyNameCapacity) != platform::kRegErrorNoMoreItems) {
    return;
  }
  parent.Close();
  RegistryKey software(context_.registry);
  if (software.Open(platform::kHkeyCurrentUser, kSoftwareKey, platform::kKeyAllAccess) ==
      platform::kErrorSuccess) {
    software.DeleteSubkey(kStoreParentName);
  }
}

}  // namespace fwu
