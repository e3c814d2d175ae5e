#include "app/resume_state.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "sysconfig/change_records.h"
#include "sysconfig/per_user_store.h"
#include "sysconfig/registry_key.h"

namespace fwu {
namespace {

constexpr std::uint32_t kStoreOriginPreexisting = 1;
constexpr std::uint32_t kStoreOriginCreated = 0;
constexpr std::uint32_t kSubkeyNameCapacity = 256;

std::string RunEntryText(const std::string& program_file_path) {
  if (program_file_path.find(' ') == std::string::npos) {
    return program_file_path;
  }
  return '"' + program_file_path + '"';
}

}  // namespace

bool CheckPendingRestart(const SystemContext& context) {
  {
    RegistryKey marker(context.registry);
    if (marker.Open(platform::kHkeyLocalMachine, kPendingRestartMarkerPath,
                    platform::kKeyAllAccess) != platform::kErrorSuccess) {
      return true;
    }
  }
  {
    RegistryKey store(context.registry);
    if (store.Open(platform::kHkeyCurrentUser, StorePath(context.application_name),
                   platform::kKeyAllAccess) != platform::kErrorSuccess) {
      return false;
    }
  }
  RegistryKey software(context.registry);
  if (software.Open(platform::kHkeyLocalMachine, kSoftwareKey, platform::kKeyAllAccess) ==
      platform::kErrorSuccess) {
    DeleteKeyWithSubkeys(software, kPendingRestartMarkerName, context.is_nt);
  }
  return true;
}

RunEntryProbe ProbeRunEntry(const SystemContext& context) {
  RunEntryProbe probe;
  const std::string program_file_path = context.system.ProgramFilePath();
  if (program_file_path.empty()) {
    probe.run_entry_unavailable = true;
    return probe;
  }
  probe.program_path = RunEntryText(program_file_path);
  RegistryKey run(context.registry);
  if (run.Create(platform::kHkeyCurrentUser, kRunKeyPath) != platform::kErrorSuccess) {
    probe.run_entry_unavailable = true;
    return probe;
  }
  // Presence alone counts, so a text of any length is found and deleted.
  RegistryValue entry;
  if (run.ReadValue(entry, context.application_name) == platform::kErrorSuccess) {
    probe.resumed = true;
    run.DeleteValue(context.application_name);
    context.Yield();
  }
  return probe;
}

bool ReadStoreOrigin(const SystemContext& context) {
  RegistryKey parent(context.registry);
  if (parent.Open(platform::kHkeyCurrentUser, kStoreParentPath, platform::kKeyAllAccess) !=
      platform::kErrorSuccess) {
    return false;
  }
  RegistryKey store(context.registry);
  std::uint32_t origin = 0;
  if (store.Open(platform::kHkeyCurrentUser, StorePath(context.application_name),
                 platform::kKeyAllAccess) != platform::kErrorSuccess ||
      store.ReadNumber(origin, kStoreOriginValue) != platform::kErrorSuccess) {
    return true;
  }
  return origin == kStoreOriginPreexisting;
}

void LoadChangeCount(const SystemContext& context) {
  std::uint32_t changed = 0;
  // The program never writes a count the counter cannot hold. Taken as it stands, such a value
  // would make the counter negative, and the next records would be numbered 0, -1, ... under
  // names the restore never takes for records: the settings they describe would stay changed
  // for good. It counts as no count at all.
  if (ReadStoreNumber(context, kStoreSection, kChangedValue, changed) != platform::kErrorSuccess ||
      changed > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())) {
    changed = 0;
  }
  // A run cut off in the middle of a change pass, or an edited store, can leave records above
  // "Changed". Numbering on from "Changed" would write over them, and the settings they hold
  // would never come back.
  context.change_count = std::max(static_cast<std::int32_t>(changed), HighestStoredRecord(context));
}

void SaveChangeCount(const SystemContext& context) {
  WriteStoreValue(context, kStoreSection, kChangedValue,
                  RegistryValue::Number(static_cast<std::uint32_t>(context.change_count)));
  context.Yield();
}

void WriteRunEntry(const SystemContext& context, std::string_view program_path) {
  RegistryKey run(context.registry);
  if (program_path.empty() || run.Open(platform::kHkeyCurrentUser, kRunKeyPath,
                                       platform::kKeyAllAccess) != platform::kErrorSuccess) {
    return;
  }
  run.WriteText(program_path, context.application_name);
  run.Close();
  context.Yield();
}

void MarkPendingRestart(const SystemContext& context) {
  RegistryKey marker(context.registry);
  marker.Create(platform::kHkeyLocalMachine, kPendingRestartMarkerPath);
}

void SaveStoreOrigin(const SystemContext& context, bool store_parent_preexisting) {
  RegistryKey store(context.registry);
  if (store.Open(platform::kHkeyCurrentUser, StorePath(context.application_name),
                 platform::kKeyAllAccess) != platform::kErrorSuccess) {
    return;
  }
  store.WriteNumber(store_parent_preexisting ? kStoreOriginPreexisting : kStoreOriginCreated,
                    kStoreOriginValue);
  store.Close();
  context.Yield();
}

void RemoveStore(const SystemContext& context, bool store_parent_preexisting) {
  RegistryKey parent(context.registry);
  if (parent.Open(platform::kHkeyCurrentUser, kStoreParentPath, platform::kKeyAllAccess) !=
      platform::kErrorSuccess) {
    return;
  }
  DeleteKeyWithSubkeys(parent, context.application_name, context.is_nt);
  if (store_parent_preexisting) {
    return;
  }
  // The parent is shared by every program file name's store: another one's records must stay.
  std::string other_store;
  if (parent.EnumSubkey(0, other_store, kSubkeyNameCapacity) != platform::kRegErrorNoMoreItems) {
    return;
  }
  parent.Close();
  RegistryKey software(context.registry);
  if (software.Open(platform::kHkeyCurrentUser, kSoftwareKey, platform::kKeyAllAccess) ==
      platform::kErrorSuccess) {
    software.DeleteSubkey(kStoreParentName);
  }
}

}  // namespace fwu
