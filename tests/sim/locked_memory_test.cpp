// The locked memory by which the simulated ASPI manager and the fuzzers' scripted one judge the
// transport: what lies inside a block, and what a request under way still holds.
#include "platform/sim/locked_memory.h"

#include <array>
#include <cstdint>

#include <gtest/gtest.h>

namespace fwu::sim {
namespace {

TEST(LockedMemory, ARangeIsInsideOnlyWhenOneBlockHoldsAllOfIt) {
  LockedMemory memory;
  std::uint8_t* const block = memory.Allocate(16);
  std::uint8_t* const next = memory.Allocate(16);
  EXPECT_TRUE(memory.Contains(block, 16));
  EXPECT_TRUE(memory.Contains(block + 15, 1));
  EXPECT_TRUE(memory.Contains(block + 16, 0));
  EXPECT_FALSE(memory.Contains(block + 8, 9));
  EXPECT_FALSE(memory.Contains(block - 1, 2));
  EXPECT_EQ(memory.SizeOf(next), 16U);
  EXPECT_FALSE(memory.SizeOf(block + 1).has_value());

  memory.Release(block);
  EXPECT_FALSE(memory.Contains(block, 1));
  EXPECT_TRUE(memory.Contains(next, 16));
  EXPECT_EQ(memory.BlockCount(), 1U);
}

TEST(LockedMemory, ARequestUnderWayHoldsItsRecordAndEveryByteOfItsBuffer) {
  std::array<std::uint8_t, 64> bytes{};
  const std::uint8_t* const area = bytes.data();
  const HeldByRequest request{area + 8, area + 32, 16};  // buffer: bytes 32 to 47
  const HeldByRequest no_data{area + 8, area + 32, 0};   // names the buffer, moves nothing
  struct Case {
    const char* what;
    const HeldByRequest& held;
    std::size_t start;
    std::size_t length;
    bool touches;
  };
  const std::array<Case, 8> cases = {{
      {"the record's block", request, 0, 16, true},
      {"a range that ends before the record", request, 0, 8, false},
      {"the buffer's last byte", request, 47, 1, true},
      {"a range across the buffer's start", request, 24, 9, true},
      {"a range just after the buffer", request, 48, 16, false},
      {"an empty range at the record", request, 8, 0, true},
      {"the start of a buffer of no length", no_data, 32, 1, true},
      {"just after a buffer of no length", no_data, 33, 8, false},
  }};
  for (const Case& c : cases) {
    EXPECT_EQ(c.held.Touches(area + c.start, c.length), c.touches) << c.what;
  }
}

}  // namespace
}  // namespace fwu::sim
