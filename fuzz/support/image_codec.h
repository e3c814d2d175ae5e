#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "support/tape.h"

namespace fwu::fuzz {

// A stored image as a recording describes it: a base (the embedded image, or zeros) with
// bytes changed, and the sums it is checked against.
struct ImageScenario {
  bool zero_base = false;
  std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> patches;  // offset, bytes
  bool own_sums = true;  // the sums of the plain image; else those of the embedded image
};

// The descrambler and the column sums over any stored image: descrambling must be undone by
// scrambling, the fast column sums must equal a byte-by-byte count, and the sums match the
// expected ones exactly when their thirteen meaningful slots agree. With a scenario the tape
// is recorded.
void RunImageCodec(Tape& tape, const ImageScenario* scenario = nullptr);

}  // namespace fwu::fuzz
