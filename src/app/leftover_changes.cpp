#include "app/leftover_changes.h"

#include "app/resume_state.h"

namespace fwu {

void RestoreLeftoverChanges(const SystemContext& context, ChangeStore& store) {
  if (store.HasRecords()) {
    const bool store_parent_preexisting = store.ReadOrigin();
    store.LoadCount();
    store.Restore();
    context.Yield();
    // Records that cannot be given back now keep the store, and the Run entry, for a later
    // start.
    if (store.HasRecords()) {
      return;
    }
    store.Remove(store_parent_preexisting);
    context.Yield();
  }
  ForgetPendingRun(context);
}

}  // namespace fwu
