// The status and sense texts, both transports' error composers and the identity helpers over
// arbitrary completion codes, adapter and target statuses, sense bytes and drive data.
#include "support/status_texts.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fwu::fuzz::Tape tape({data, size});
  fwu::fuzz::RunStatusTexts(tape);
  return 0;
}
