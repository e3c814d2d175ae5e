#include "support/thread_decorators.h"

namespace fwu::test {

std::uint32_t MisbehavingThreads::Resume(platform::ThreadHandle thread) {
  const std::size_t call = static_cast<std::size_t>(resume_calls_++);
  if (reports_.empty()) {
    return inner_.Resume(thread);
  }
  const std::uint32_t report = reports_[call < reports_.size() ? call : reports_.size() - 1];
  if (report <= 1 && !resumed_) {
    resumed_ = true;
    inner_.Resume(thread);
  }
  return report;
}

}  // namespace fwu::test
