#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "sysconfig/change_records.h"
#include "sysconfig/registry_key.h"
#include "sysconfig/system_context.h"

namespace fwu {

// The per-user store, HKEY_CURRENT_USER\Software\Quentar_ODD\{application name}: the change
// counter ("Changed"), the store origin ("Quentar_ODD_Add") and, below "Change", one record per
// device setting changed before a download.
inline constexpr std::string_view kStoreParentName = "Quentar_ODD";
inline constexpr std::string_view kStoreParentPath = "Software\\Quentar_ODD";
inline constexpr std::string_view kChangedValue = "Changed";
inline constexpr std::string_view kStoreOriginValue = "Quentar_ODD_Add";

// The store and its change counter, the number that decides whether settings are given back
// and whether the store goes. This is the counter's one owner: it loads it, raises it with
// every record it writes, lowers it with every record it gives back, and the rest of the
// program asks it. Registry failures are absorbed; each operation says what then happens.
class ChangeStore {
 public:
  explicit ChangeStore(const SystemContext& context);

  // The records this run counts in the store.
  std::int32_t Count() const { return count_; }
  // "Software\Quentar_ODD\{application name}", below HKEY_CURRENT_USER.
  std::string Path() const;

  // Whether the current user's hive has the store; creates nothing.
  bool Exists() const;
  // Whether the store holds change records; creates nothing.
  bool HasRecords() const;

  // The counter: the larger of "Changed" and the highest record number in the store. "Changed"
  // counts as 0 when absent, or when it holds more than the counter can count (no run writes
  // such a value). Creates the store when it is missing.
  void LoadCount();
  // Writes the counter into "Changed".
  void SaveCount();

  // Whether the store parent existed before this program added its store: false when there is
  // no parent; true when the store is missing or has no origin value; else the origin value is 1.
  bool ReadOrigin() const;
  void SaveOrigin(bool store_parent_preexisting) const;

  // Writes the record as the first number above the counter whose record key does not exist
  // yet, never over a record already in the store, and then raises "Changed" to that number, so
  // that "Changed" is never below the highest record written. The counter advances to the number
  // only when the record and "Changed" were both written; false otherwise, and a record key this
  // call created is taken away again.
  bool Write(const ChangeRecord& record);

  // Writes every usable change record back into its device setting and deletes the record,
  // lowering the counter by one each time. The newest record goes first, so that the oldest
  // record of a setting, the one from before any change, is what remains; keys below "Change"
  // whose names are no record numbers are left alone. A record stays, and the counter with it,
  // when it is not one the change pass of this platform family writes, when its device value
  // has gone (nothing is created in the device settings), or when the write-back or the
  // deletion fails; a later restore tries it again. "Changed" is not written: the caller
  // removes the store when the counter is 0, and the counter ends at 0 exactly when no record
  // is left, also when "Changed" was above or below the records the store held.
  void Restore();

  // Removes the store with its records; when this program created the store parent, the
  // parent goes too, unless another program file's store is still in it.
  void Remove(bool store_parent_preexisting) const;

 private:
  // "...\Change", the records' parent.
  std::string ChangePath() const;
  std::int32_t OpenChangeKey(RegistryKey& change_key) const;
  std::int32_t OpenSection(std::string_view section, RegistryKey& key) const;
  std::int32_t ReadNumber(std::string_view section, std::string_view name,
                          std::uint32_t& number) const;
  std::int32_t WriteValue(std::string_view section, std::string_view name,
                          const RegistryValue& value) const;
  std::int32_t HighestRecord() const;
  std::optional<bool> RecordExists(std::int32_t number) const;
  std::optional<std::int32_t> FreeRecordNumber() const;
  void RemovePartialRecord(std::int32_t number) const;

  SystemContext context_;
  std::int32_t count_ = 0;
};

}  // namespace fwu
