#include "platform/sim/locked_memory.h"

#include <algorithm>

namespace fwu::sim {

std::uint8_t* LockedMemory::Allocate(std::size_t bytes) {
  Block block{std::make_unique<std::uint8_t[]>(std::max<std::size_t>(bytes, 1)), bytes};
  std::uint8_t* const start = block.bytes.get();
  blocks_.emplace(start, std::move(block));
  return start;
}

std::optional<std::size_t> LockedMemory::SizeOf(const void* start) const {
  const auto found = blocks_.find(static_cast<const std::uint8_t*>(start));
  if (found == blocks_.end()) {
    return std::nullopt;
  }
  return found->second.size;
}

void LockedMemory::Release(const void* start) {
  blocks_.erase(static_cast<const std::uint8_t*>(start));
}

bool LockedMemory::Contains(const void* start, std::size_t length) const {
  const auto* begin = static_cast<const std::uint8_t*>(start);
  auto block = blocks_.upper_bound(begin);
  if (block == blocks_.begin()) {
    return false;
  }
  --block;
  const std::uint8_t* const base = block->first;
  const std::size_t size = block->second.size;
  return begin >= base && length <= size && static_cast<std::size_t>(begin - base) <= size - length;
}

bool HeldByRequest::Touches(const void* start, std::size_t length) const {
  const auto* begin = static_cast<const std::uint8_t*>(start);
  const std::uint8_t* const end = begin + std::max<std::size_t>(length, 1);
  const auto* held_record = static_cast<const std::uint8_t*>(record);
  const bool record_inside = held_record >= begin && held_record < end;
  const bool buffer_overlaps =
      buffer != nullptr && buffer < end && begin < buffer + std::max<std::size_t>(buffer_length, 1);
  return record_inside || buffer_overlaps;
}

}  // namespace fwu::sim
