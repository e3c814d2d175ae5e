#include "support/registry_state.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <span>
#include <string_view>

#include "app/leftover_changes.h"
#include "app/resume_state.h"
#include "platform/sim/sim_system_services.h"
#include "support/manual_clock.h"
#include "support/registry_snapshot.h"
#include "sysconfig/change_records.h"
#include "sysconfig/change_store.h"
#include "sysconfig/change_system_settings.h"
#include "sysconfig/device_setting_names.h"
#include "sysconfig/registry_key.h"
#include "sysconfig/restorable_records.h"
#include "sysconfig/system_context.h"

namespace fwu::fuzz {
namespace {

using Kind = RegistryChange::Kind;

constexpr std::size_t kMaxItems = 64;
constexpr std::size_t kMaxSteps = 24;
constexpr std::size_t kMaxDepth = 8;
constexpr std::size_t kMaxRawName = 160;  // Windows allows 255
constexpr std::size_t kMaxValueName = 140;
constexpr std::size_t kMaxRawData = 600;

// Names of keys and values the program works with, and a few that sit beside them; the tape
// picks among them or spells a name of its own.
constexpr auto kKeyNames = std::to_array<std::string_view>({
    "Software",
    "Quentar_ODD",
    "XTM7731UP",
    "Change",
    "  1",
    "  2",
    "  3",
    " 10",
    "999",
    "1000",
    "0",
    " -1",
    "12345678901",
    "SYSTEM",
    "CurrentControlSet",
    "Services",
    "atapi",
    "Parameters",
    "Device0",
    "Device1",
    "Control",
    "Class",
    "{4D36E96A-E325-11CE-BFC1-08002BE10318}",
    "0000",
    "0001",
    "Cdrom",
    "Enum",
    "SCSI",
    "scsi",
    "SCSI&DVD-ROM",
    "ESDI",
    "Config Manager",
    "System",
    "hdc",
    "SCSIAdapter",
    "Microsoft",
    "Windows",
    "CurrentVersion",
    "run",
    "QUENTAR_ODD_KALDER",
    "Other Tool",
});

constexpr auto kValueNames = std::to_array<std::string_view>({
    "SubKey_Name",
    "Value_Name",
    "Value_Type",
    "Value",
    "Changed",
    "Quentar_ODD_Add",
    "DriverParameter",
    "Autorun",
    "UserMasterDeviceTimingModeAllowed",
    "MasterDeviceTimingMode",
    "MasterDeviceTimingModeAllowed",
    "UserSlaveDeviceTimingModeAllowed",
    "SlaveDeviceTimingMode",
    "SlaveDeviceTimingModeAllowed",
    "AutoInsertNotification",
    "DMACurrentlyUsed",
    "AutoInsertNotificationDrive0",
    "AutoInsertNotificationDrive1",
    "IDEDMADRIVE0",
    "IDEDMADRIVE1",
    "Class",
    "HardWareKey",
    "XTM7731UP",
    "",
});

constexpr auto kTypes = std::to_array<std::uint32_t>({
    platform::kRegSz,
    platform::kRegDword,
    platform::kRegBinary,
    platform::kRegNone,
    platform::kRegExpandSz,
    platform::kRegMultiSz,
});

// Program file names: the usual one, one with a blank (its Run entry is quoted), one short.
constexpr auto kApplications = std::to_array<std::string_view>({"XTM7731UP", "XTM Update", "u"});

constexpr auto kRoots = std::to_array<platform::RegistryHandle>({
    platform::kHkeyCurrentUser,
    platform::kHkeyLocalMachine,
    platform::kHkeyDynData,
});

constexpr std::string_view kOtherUser = "Other";

// Key names cannot hold a backslash, and the snapshot compares plain text: other bytes of a
// spelled name become '_'.
std::string PlainName(std::string name) {
  for (char& c : name) {
    if (c < 0x20 || c >= 0x7F || c == '\\') {
      c = '_';
    }
  }
  return name;
}

template <std::size_t N>
std::string NameFrom(Tape& tape, const std::array<std::string_view, N>& names,
                     std::string_view planned, std::size_t max_raw) {
  const auto* known = std::find(names.begin(), names.end(), planned);
  const std::size_t choice = tape.Choice(N + 1, static_cast<std::size_t>(known - names.begin()));
  if (choice < N) {
    return std::string(names[choice]);
  }
  return PlainName(tape.Text(max_raw, planned));
}

std::string PathFrom(Tape& tape, std::string_view planned) {
  std::vector<std::string_view> planned_names;
  if (!planned.empty()) {
    planned_names = PathNames(planned);
  }
  const std::size_t depth = tape.Choice(kMaxDepth + 1, planned_names.size());
  std::string path;
  for (std::size_t i = 0; i < depth; ++i) {
    const std::string name =
        NameFrom(tape, kKeyNames, i < planned_names.size() ? planned_names[i] : "", kMaxRawName);
    // A key has a name; an empty one would leave a path that begins with a backslash.
    if (name.empty()) {
      continue;
    }
    if (!path.empty()) {
      path += '\\';
    }
    path += name;
  }
  return path;
}

std::vector<std::uint8_t> TextBytes(Tape& tape, std::string text) {
  std::vector<std::uint8_t> bytes(text.begin(), text.end());
  if (tape.Flag(true)) {
    bytes.push_back(0);
  }
  return bytes;
}

sim::StoredValue ValueFrom(Tape& tape, const sim::StoredValue& planned) {
  sim::StoredValue value;
  const auto* known = std::find(kTypes.begin(), kTypes.end(), planned.type);
  const std::size_t type_choice =
      tape.Choice(kTypes.size() + 1, static_cast<std::size_t>(known - kTypes.begin()));
  value.type = type_choice < kTypes.size() ? kTypes[type_choice] : tape.U32(planned.type);
  switch (tape.Choice(4, 0)) {
    case 0: {
      value.data.resize(tape.U16(static_cast<std::uint16_t>(planned.data.size())) % kMaxRawData);
      tape.Fill(value.data, planned.data);
      break;
    }
    case 1:
      value.data = TextBytes(tape, PathFrom(tape, ""));
      break;
    case 2: {
      const std::uint32_t number = tape.U32(0);
      value.data = sim::StoredValue::Number(number).data;
      break;
    }
    default:
      value.data = TextBytes(tape, NameFrom(tape, kValueNames, "", kMaxValueName));
      break;
  }
  return value;
}

// FWU_FUZZ_TRACE in the environment shows what a run builds and does, to read a finding.
bool Tracing() {
  static const bool tracing = std::getenv("FWU_FUZZ_TRACE") != nullptr;
  return tracing;
}

void AddItem(Tape& tape, sim::SimRegistry& registry, const RegistryItem* planned) {
  const RegistryItem none;
  const RegistryItem& item = planned != nullptr ? *planned : none;
  const auto* root = std::find(kRoots.begin(), kRoots.end(), item.root);
  const platform::RegistryHandle chosen =
      kRoots[tape.Choice(kRoots.size(), static_cast<std::size_t>(root - kRoots.begin()))];
  const std::string path = PathFrom(tape, item.path);
  if (!tape.Flag(item.value_name.has_value())) {
    registry.PutKey(chosen, path);
    if (Tracing()) {
      std::fprintf(stderr, "key %lx %s\n", static_cast<unsigned long>(chosen), path.c_str());
    }
    return;
  }
  const std::string name = NameFrom(tape, kValueNames, item.value_name.value_or(""), kMaxValueName);
  sim::StoredValue value = ValueFrom(tape, item.value);
  if (Tracing()) {
    std::fprintf(stderr,
                 "value %lx %s [%s] type %u, %zu bytes:", static_cast<unsigned long>(chosen),
                 path.c_str(), name.c_str(), value.type, value.data.size());
    for (const std::uint8_t byte : value.data) {
      std::fprintf(stderr, " %02X", byte);
    }
    std::fprintf(stderr, "\n");
  }
  registry.PutValue(chosen, path, name, std::move(value));
}

// Where the state of the program lives, as the snapshot spells paths.
struct OwnedPaths {
  std::string store_parent;
  std::string store;
  std::string change;
  std::string run_key;
  std::string run_value;
  std::string marker;
  std::string machine_software;

  explicit OwnedPaths(std::string_view application)
      : store_parent("HKEY_CURRENT_USER\\SOFTWARE\\QUENTAR_ODD"),
        store(store_parent + "\\" + UpperCase(application)),
        change(store + "\\CHANGE"),
        run_key("HKEY_CURRENT_USER\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN"),
        run_value(UpperCase(application)),
        marker("HKEY_LOCAL_MACHINE\\SOFTWARE\\QUENTAR_ODD_KALDER"),
        machine_software("HKEY_LOCAL_MACHINE\\SOFTWARE") {}
};

bool AtOrBelow(std::string_view path, std::string_view base) {
  return path == base ||
         (path.starts_with(base) && path.size() > base.size() && path[base.size()] == '\\');
}

// The number of a record key name as the restore reads it: blanks, then digits.
std::optional<std::uint64_t> RecordNumber(std::string_view name) {
  const std::size_t digits = name.find_first_not_of(' ');
  if (digits == std::string_view::npos || name.size() - digits > 10) {
    return std::nullopt;
  }
  std::uint64_t number = 0;
  for (const char c : name.substr(digits)) {
    if (c < '0' || c > '9') {
      return std::nullopt;
    }
    number = number * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return number;
}

// The record key a path lies in or below, when it is one.
std::optional<std::string_view> RecordKeyOf(std::string_view path, const OwnedPaths& owned) {
  if (!AtOrBelow(path, owned.change) || path.size() == owned.change.size()) {
    return std::nullopt;
  }
  const std::string_view rest = path.substr(owned.change.size() + 1);
  return rest.substr(0, std::min(rest.find('\\'), rest.size()));
}

bool IsRecordKey(std::string_view path, const OwnedPaths& owned) {
  const auto record = RecordKeyOf(path, owned);
  return record && path.size() == owned.change.size() + 1 + record->size();
}

template <std::size_t N>
bool NamedIn(std::string_view value, const std::array<std::string_view, N>& names) {
  return std::any_of(names.begin(), names.end(),
                     [&](std::string_view name) { return UpperCase(name) == value; });
}

bool NamesAre(std::span<const std::string_view> names,
              std::initializer_list<std::string_view> expected) {
  return names.size() >= expected.size() &&
         std::equal(expected.begin(), expected.end(), names.begin());
}

// The device settings a change pass of the family may change, and a restore may give back.
bool IsOwnedDeviceSetting(std::string_view path, std::string_view value, bool nt_family) {
  const std::vector<std::string_view> names = PathNames(path);
  if (names.empty() || names[0] != "HKEY_LOCAL_MACHINE") {
    return false;
  }
  const std::span<const std::string_view> below = std::span(names).subspan(1);
  if (nt_family) {
    if (below.size() == 6 &&
        NamesAre(below, {"SYSTEM", "CURRENTCONTROLSET", "SERVICES", "ATAPI", "PARAMETERS"})) {
      return value == UpperCase(nt_settings::kDriverParameter);
    }
    if (below.size() == 6 && NamesAre(below, {"SYSTEM", "CURRENTCONTROLSET", "CONTROL", "CLASS"})) {
      return NamedIn(value, nt_settings::kTimingValueNames);
    }
    if (below.size() == 4 &&
        NamesAre(below, {"SYSTEM", "CURRENTCONTROLSET", "SERVICES", "CDROM"})) {
      return value == UpperCase(nt_settings::kAutorun);
    }
    return false;
  }
  if (below.size() >= 2 && below[0] == "ENUM" && below[1].starts_with("SCSI")) {
    return NamedIn(value, win9x_settings::kScsiDeviceFlags);
  }
  if (below.size() == 6 && NamesAre(below, {"SYSTEM", "CURRENTCONTROLSET", "SERVICES", "CLASS"}) &&
      (below[4] == "HDC" || below[4] == "SCSIADAPTER")) {
    return NamedIn(value, win9x_settings::kControllerFlags);
  }
  return false;
}

bool IsRecordValue(std::string_view value) {
  return value == "SUBKEY_NAME" || value == "VALUE_NAME" || value == "VALUE_TYPE" ||
         value == "VALUE";
}

// Whether a step may make this change.
bool Allowed(const RegistryAction& action, const RegistryChange& change, const OwnedPaths& owned,
             bool nt_family) {
  const std::string_view path = change.path;
  const bool key_added = change.kind == Kind::kKeyAdded;
  const bool key_removed = change.kind == Kind::kKeyRemoved;
  const bool value_set = change.kind == Kind::kValueAdded || change.kind == Kind::kValueChanged;
  const bool store_key_added = key_added && (path == owned.store_parent || path == owned.store);
  switch (action.step) {
    case RegistryStep::kCheckPendingRestart:
      return key_removed && AtOrBelow(path, owned.marker);
    case RegistryStep::kProbeRunEntry:
      return (key_added && AtOrBelow(owned.run_key, path) && path != "HKEY_CURRENT_USER") ||
             (change.kind == Kind::kValueRemoved && path == owned.run_key &&
              change.value == owned.run_value);
    case RegistryStep::kLoadChangeCount:
      return store_key_added;
    case RegistryStep::kSaveChangeCount:
      return store_key_added || (value_set && path == owned.store && change.value == "CHANGED");
    case RegistryStep::kWriteRunEntry:
      return value_set && path == owned.run_key && change.value == owned.run_value;
    case RegistryStep::kMarkPendingRestart:
      return key_added && (path == owned.machine_software || path == owned.marker);
    case RegistryStep::kSaveStoreOrigin:
      return value_set && path == owned.store && change.value == "QUENTAR_ODD_ADD";
    case RegistryStep::kRemoveStore:
      return key_removed &&
             (AtOrBelow(path, owned.store) || (!action.flag && path == owned.store_parent));
    case RegistryStep::kRestoreSystemSettings:
      return store_key_added ||
             (key_removed && RecordKeyOf(path, owned) && RecordNumber(*RecordKeyOf(path, owned))) ||
             (change.kind == Kind::kValueChanged &&
              IsOwnedDeviceSetting(path, change.value, nt_family));
    case RegistryStep::kRestoreLeftoverChanges: {
      // A restore, then the store, the Run entry and the pending-restart marker go once no
      // record is left.
      const RegistryAction restore{RegistryStep::kRestoreSystemSettings};
      const RegistryAction remove{RegistryStep::kRemoveStore, false};
      const RegistryAction probe{RegistryStep::kProbeRunEntry};
      const RegistryAction marker{RegistryStep::kCheckPendingRestart};
      return Allowed(restore, change, owned, nt_family) ||
             Allowed(remove, change, owned, nt_family) ||
             Allowed(probe, change, owned, nt_family) || Allowed(marker, change, owned, nt_family);
    }
    case RegistryStep::kChangeSystemSettings:
      return store_key_added || (key_added && (path == owned.change || IsRecordKey(path, owned))) ||
             (value_set && IsRecordKey(path, owned) && IsRecordValue(change.value)) ||
             (value_set && path == owned.store && change.value == "CHANGED") ||
             (change.kind == Kind::kValueChanged &&
              IsOwnedDeviceSetting(path, change.value, nt_family));
    default:
      return false;
  }
}

const char* Describe(Kind kind) {
  switch (kind) {
    case Kind::kKeyAdded:
      return "created key";
    case Kind::kKeyRemoved:
      return "deleted key";
    case Kind::kValueAdded:
      return "created value";
    case Kind::kValueRemoved:
      return "deleted value";
    case Kind::kValueChanged:
      break;
  }
  return "changed value";
}

// The record keys still below "Change".
std::size_t RecordsLeft(const sim::SimRegistry& registry, const OwnedPaths& owned) {
  std::size_t left = 0;
  for (const auto& [path, values] : RegistrySnapshot::Of(registry).keys) {
    if (IsRecordKey(path, owned) && RecordNumber(*RecordKeyOf(path, owned))) {
      ++left;
    }
  }
  return left;
}

// A record the change pass wrote must read back whole, as one the restore gives back: else the
// setting it describes stays changed for good.
void RequireRestorable(sim::SimRegistry& registry, std::string_view path, bool nt_family) {
  constexpr std::string_view kUserRoot = "HKEY_CURRENT_USER\\";
  RegistryKey record_key(registry);
  Require(record_key.Open(platform::kHkeyCurrentUser, path.substr(kUserRoot.size()),
                          platform::kKeyRead) == platform::kErrorSuccess,
          "a change record just written cannot be opened");
  const std::optional<ChangeRecord> record = ReadChangeRecord(record_key);
  Require(record && IsRestorableRecord(*record, nt_family),
          "a change pass wrote a record the restore cannot give back");
}

void CheckStep(sim::SimRegistry& registry, const RegistryAction& action,
               const RegistrySnapshot& before, const RegistrySnapshot& after,
               const OwnedPaths& owned, bool nt_family, bool writes_may_fail,
               std::int32_t count_before, std::int32_t count_after) {
  std::int64_t records_removed = 0;
  std::set<std::string> written_records;
  for (const RegistryChange& change : Changes(before, after)) {
    if (!Allowed(action, change, owned, nt_family)) {
      Violation(std::string("step ") + std::to_string(static_cast<int>(action.step)) + " " +
                Describe(change.kind) + " " + change.path + " [" + change.value +
                "] which it does not own");
    }
    if (change.kind == Kind::kKeyRemoved && IsRecordKey(change.path, owned)) {
      ++records_removed;
    }
    if (change.kind == Kind::kKeyAdded && IsRecordKey(change.path, owned)) {
      const std::optional<std::uint64_t> number = RecordNumber(*RecordKeyOf(change.path, owned));
      Require(number && *number >= 1,
              "a change record was written under a name the restore does not take for one");
    }
    if (action.step == RegistryStep::kChangeSystemSettings && !writes_may_fail &&
        IsRecordKey(change.path, owned) && change.kind != Kind::kKeyRemoved) {
      written_records.insert(change.path);
    }
  }
  for (const std::string& record : written_records) {
    RequireRestorable(registry, record, nt_family);
  }
  switch (action.step) {
    case RegistryStep::kRestoreSystemSettings: {
      // The counter comes down by the records restored, and ends at 0 exactly when no record
      // is left: the caller removes the store by it.
      const std::size_t left = RecordsLeft(registry, owned);
      if (left == 0) {
        Require(count_after == 0, "no record is left and the counter is not 0");
      } else {
        Require(count_after > 0 && count_after == std::max<std::int64_t>(
                                                      std::int64_t{count_before} - records_removed,
                                                      static_cast<std::int64_t>(left)),
                "the change counter did not come down by the records restored");
      }
      break;
    }
    case RegistryStep::kChangeSystemSettings:
      Require(count_after >= count_before, "a change pass lowered the change counter");
      break;
    case RegistryStep::kLoadChangeCount:
    case RegistryStep::kRestoreLeftoverChanges:  // loads the counter itself
      break;
    default:
      Require(count_after == count_before, "a step that keeps no records moved the counter");
      break;
  }
}

}  // namespace

void RunRegistryState(Tape& tape, const RegistryScenario* scenario) {
  const bool recording = scenario != nullptr;
  const bool nt_family = tape.Flag(!recording || scenario->nt_family);
  const std::string application(
      kApplications[tape.Choice(kApplications.size(), recording ? scenario->application : 0)]);
  sim::SimRegistry registry(nt_family ? sim::RegistryFamily::kNt : sim::RegistryFamily::kWindows9x);
  sim::SimSystemServices system;
  system.program_file_path = "C:\\Program Files\\Quentar\\" + application + ".exe";
  ManualClock clock;
  const SystemContext context{registry, system, clock, nt_family, application};
  ChangeStore store(context);
  const OwnedPaths owned(application);

  for (std::size_t i = 0; i < kMaxItems && tape.Flag(recording && i < scenario->items.size());
       ++i) {
    AddItem(tape, registry,
            recording && i < scenario->items.size() ? &scenario->items[i] : nullptr);
  }

  std::string program_path = system.program_file_path;
  bool writes_may_fail = false;
  RegistrySnapshot before = RegistrySnapshot::Of(registry);
  for (std::size_t i = 0; i < kMaxSteps && tape.Flag(recording && i < scenario->actions.size());
       ++i) {
    const RegistryAction planned =
        recording && i < scenario->actions.size() ? scenario->actions[i] : RegistryAction{};
    RegistryAction action;
    action.step = static_cast<RegistryStep>(tape.Choice(
        static_cast<std::size_t>(RegistryStep::kCount), static_cast<std::size_t>(planned.step)));
    action.flag = tape.Flag(planned.flag);
    // The program loads the counter before every change pass and every restore.
    if (action.step == RegistryStep::kChangeSystemSettings ||
        action.step == RegistryStep::kRestoreSystemSettings) {
      store.LoadCount();
    }
    const std::int32_t count_before = store.Count();
    if (Tracing()) {
      std::fprintf(stderr, "step %d flag %d, counter %d\n", static_cast<int>(action.step),
                   action.flag ? 1 : 0, store.Count());
    }
    switch (action.step) {
      case RegistryStep::kCheckPendingRestart:
        static_cast<void>(CheckPendingRestart(context, store));
        break;
      case RegistryStep::kProbeRunEntry: {
        const RunEntryProbe probe = ProbeRunEntry(context);
        if (!probe.run_entry_unavailable) {
          program_path = probe.program_path;
        }
        break;
      }
      case RegistryStep::kReadStoreOrigin:
        static_cast<void>(store.ReadOrigin());
        break;
      case RegistryStep::kLoadChangeCount:
        store.LoadCount();
        break;
      case RegistryStep::kSaveChangeCount:
        store.SaveCount();
        break;
      case RegistryStep::kWriteRunEntry:
        WriteRunEntry(context, program_path);
        break;
      case RegistryStep::kMarkPendingRestart:
        MarkPendingRestart(context);
        break;
      case RegistryStep::kSaveStoreOrigin:
        store.SaveOrigin(action.flag);
        break;
      case RegistryStep::kRemoveStore:
        store.Remove(action.flag);
        break;
      case RegistryStep::kRestoreSystemSettings:
        store.Restore();
        break;
      case RegistryStep::kCheckSystemSettings: {
        const bool needed = SystemSettingsNeedChange(context);
        static_cast<void>(needed);
        break;
      }
      case RegistryStep::kChangeSystemSettings:
        static_cast<void>(ChangeSystemSettings(context, store));
        break;
      case RegistryStep::kFailWrites: {
        const std::uint32_t writes = tape.Byte(static_cast<std::uint8_t>(planned.number));
        if (action.flag) {
          registry.StopWritesAfter(writes);
        } else {
          registry.FailWrite(writes + 1);
        }
        writes_may_fail = true;
        break;
      }
      case RegistryStep::kClearWriteFaults:
        registry.ClearWriteFaults();
        writes_may_fail = false;
        break;
      case RegistryStep::kLimitedUser:
        registry.SetLimitedUser(action.flag);
        break;
      case RegistryStep::kSwitchUser:
        registry.SwitchUser(action.flag ? kOtherUser : "User");
        break;
      case RegistryStep::kHasLeftoverChanges:
        static_cast<void>(store.HasRecords());
        break;
      case RegistryStep::kRestoreLeftoverChanges:
        RestoreLeftoverChanges(context, store);
        break;
      case RegistryStep::kCount:
        break;
    }
    Require(registry.OpenHandleCount() == 0, "a registry key was left open");
    RegistrySnapshot after = RegistrySnapshot::Of(registry);
    if (action.step != RegistryStep::kSwitchUser) {
      CheckStep(registry, action, before, after, owned, nt_family, writes_may_fail, count_before,
                store.Count());
    }
    before = std::move(after);
  }
}

}  // namespace fwu::fuzz
