#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>

namespace fwu::sim {

// The locked memory an ASPI manager hands out for its requests: which blocks are out, whether a
// range lies wholly inside one of them, and what a request under way may still write to. The
// simulated manager and the fuzzers' scripted one judge their callers by these rules.
class LockedMemory {
 public:
  // A zeroed block of `bytes` (one byte at least is reserved, so that every block has an
  // address of its own).
  std::uint8_t* Allocate(std::size_t bytes);
  // The size of the block that starts at `start`; empty when no block starts there.
  std::optional<std::size_t> SizeOf(const void* start) const;
  void Release(const void* start);
  bool Contains(const void* start, std::size_t length) const;
  std::size_t BlockCount() const { return blocks_.size(); }

  // Calls `visit(start, size)` for every block still out.
  template <typename Visit>
  void ForEachBlock(Visit visit) const {
    for (const auto& [start, block] : blocks_) {
      visit(start, block.size);
    }
  }

 private:
  struct Block {
    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t size = 0;
  };
  std::map<const std::uint8_t*, Block, std::less<>> blocks_;
};

// What a request under way holds: its record, and the data buffer it may still write to.
struct HeldByRequest {
  const void* record = nullptr;
  const std::uint8_t* buffer = nullptr;
  std::size_t buffer_length = 0;

  // Whether the range [start, start + length) holds the record or overlaps the buffer. An
  // empty range or buffer counts as its first byte: a buffer named in a request stays the
  // request's until it ends, whatever length the request gives it.
  bool Touches(const void* start, std::size_t length) const;
};

}  // namespace fwu::sim
