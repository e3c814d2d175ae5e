#pragma once

#include <cstdint>
#include <optional>

namespace fwu::sim {

// Registry writes that fail on demand, for tests: every write from a given one on, as a power
// loss would stop them, or one write alone.
class RegistryWriteFaults {
 public:
  // Every write after the next `writes` writes fails.
  void StopAfter(std::uint32_t writes) { writes_left_ = writes; }
  // Only the n-th write from now (1 for the next one) fails.
  void FailNth(std::uint32_t n) { failing_write_ = n; }
  void Clear();

  // Whether the write about to be made goes through; it counts towards the faults either way.
  bool Admit();

 private:
  std::optional<std::uint32_t> writes_left_;
  std::optional<std::uint32_t> failing_write_;
};

}  // namespace fwu::sim
