#include "drive/aspi_held_records.h"

#include <algorithm>

#include "drive/aspi_wait.h"

namespace fwu {

void AspiHeldRecords::Hold(void* record, platform::EventHandle event, void* buffer) {
  held_.push_back(Held{record, event, buffer});
}

void AspiHeldRecords::ReleaseSettled() {
  const auto still_held = std::stable_partition(held_.begin(), held_.end(), [](const Held& held) {
    return AspiRecordStatus(held.record) == 0;
  });
  for (auto settled = still_held; settled != held_.end(); ++settled) {
    aspi_.ReleaseLocked(settled->record);
    if (settled->event != nullptr) {
      aspi_.CloseCompletionEvent(settled->event);
    }
    if (settled->buffer != nullptr) {
      aspi_.ReleaseLocked(settled->buffer);
    }
  }
  held_.erase(still_held, held_.end());
}

}  // namespace fwu
