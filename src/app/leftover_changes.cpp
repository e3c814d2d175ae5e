#include "app/leftover_changes.h"

#include "app/resume_state.h"
#include "sysconfig/change_records.h"
#include "sysconfig/restore.h"

namespace fwu {

bool HasLeftoverChanges(const SystemContext& context) {
  RegistryKey change_key(context.registry);
  return OpenChangeKey(context, change_key) == platform::kErrorSuccess &&
         !StoredRecords(change_key).empty();
}

void RestoreLeftoverChanges(const SystemContext& context) {
  if (!HasLeftoverChanges(context)) {
    return;
  }
  const bool store_parent_preexisting = ReadStoreOrigin(context);
  LoadChangeCount(context);
  RestoreSystemSettings(context);
  context.Yield();
  // Records that cannot be given back now keep the store, and the Run entry, for a later start.
  if (HasLeftoverChanges(context)) {
    return;
  }
  RemoveStore(context, store_parent_preexisting);
  context.Yield();
  ProbeRunEntry(context);
}

}  // namespace fwu
