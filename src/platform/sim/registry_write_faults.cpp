#include "platform/sim/registry_write_faults.h"

namespace fwu::sim {

void RegistryWriteFaults::Clear() {
  writes_left_.reset();
  failing_write_.reset();
}

bool RegistryWriteFaults::Admit() {
  if (writes_left_ && *writes_left_ == 0) {
    return false;
  }
  if (failing_write_) {
    if (*failing_write_ <= 1) {
      failing_write_.reset();
      return false;
    }
    --*failing_write_;
  }
  if (writes_left_) {
    --*writes_left_;
  }
  return true;
}

}  // namespace fwu::sim
