// The descrambler and the column sums over arbitrary stored images.
#include "support/image_codec.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fwu::fuzz::Tape tape({data, size});
  fwu::fuzz::RunImageCodec(tape);
  return 0;
}
