#include "app/leftover_changes.h"

#include <cstdint>
#include <string>

#include "app/resume_state.h"
#include "sysconfig/per_user_store.h"
#include "sysconfig/registry_key.h"
#include "sysconfig/restore.h"

namespace fwu {
namespace {

constexpr std::uint32_t kRecordNameCapacity = 512;

}  // namespace

bool HasLeftoverChanges(const SystemContext& context) {
  RegistryKey change_key(context.registry);
  if (change_key.Open(platform::kHkeyCurrentUser,
                      StorePath(context.application_name) + '\\' + std::string(kChangeKey),
                      platform::kKeyRead) != platform::kErrorSuccess) {
    return false;
  }
  std::string first_record;
  return change_key.EnumSubkey(0, first_record, kRecordNameCapacity) == platform::kErrorSuccess;
}

void RestoreLeftoverChanges(const SystemContext& context) {
  if (HasLeftoverChanges(context)) {
    const bool store_parent_preexisting = ReadStoreOrigin(context);
    LoadChangeCount(context);
    RestoreSystemSettings(context);
    context.Yield();
    // Records that cannot be given back now keep the store, and the Run entry, for a later
    // start.
    if (HasLeftoverChanges(context)) {
      return;
    }
    RemoveStore(context, store_parent_preexisting);
    context.Yield();
  }
  ForgetPendingRun(context);
}

}  // namespace fwu
