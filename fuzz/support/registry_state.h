#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/sim/sim_registry.h"
#include "support/tape.h"

namespace fwu::fuzz {

// The operations on the registry state that carries a run across restarts, in the order the
// tape asks for them, and what surrounds them.
enum class RegistryStep : std::uint8_t {
  kCheckPendingRestart,
  kProbeRunEntry,
  kReadStoreOrigin,
  kLoadChangeCount,
  kSaveChangeCount,
  kWriteRunEntry,
  kMarkPendingRestart,
  kSaveStoreOrigin,        // with the flag
  kRemoveStore,            // with the flag
  kRestoreSystemSettings,  // after loading the counter, as the program does
  kCheckSystemSettings,
  kChangeSystemSettings,  // recording, after loading the counter, as the program does
  kFailWrites,            // the flag: all from the number-th write on, else only that one
  kClearWriteFaults,
  kLimitedUser,  // with the flag
  kSwitchUser,   // the flag: to the other user, else back
  kHasLeftoverChanges,
  kRestoreLeftoverChanges,
  kCount,
};

// A key, or a value in it, of the hive a recording starts from.
struct RegistryItem {
  platform::RegistryHandle root = platform::kHkeyCurrentUser;
  std::string path;
  std::optional<std::string> value_name;  // empty: the key alone
  sim::StoredValue value;
};

struct RegistryAction {
  RegistryStep step = RegistryStep::kLoadChangeCount;
  bool flag = false;
  std::uint32_t number = 0;
};

struct RegistryScenario {
  bool nt_family = true;
  std::size_t application = 0;  // index of the program file name
  std::vector<RegistryItem> items;
  std::vector<RegistryAction> actions;
};

// Builds a simulated registry from the tape (keys, value names, types, lengths and bytes,
// drawn from the names the program uses or any others) and runs the resume-state operations,
// the change passes and the restore over it as the tape orders. After every step the registry
// is compared with the one before: a step may write only what it owns (the marker, the Run
// entry, the per-user store and its records, the device settings the change passes change),
// and only as it owns it; every handle must be closed again, and the change counter must move
// with the records. A broken rule aborts. With a scenario the tape is recorded.
void RunRegistryState(Tape& tape, const RegistryScenario* scenario = nullptr);

}  // namespace fwu::fuzz
