// The resume state, the change passes and RestoreSystemSettings over a registry whose keys,
// values, types and lengths come from the fuzzer's bytes; no step may write what it does not own.
#include "support/registry_state.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fwu::fuzz::Tape tape({data, size});
  fwu::fuzz::RunRegistryState(tape);
  return 0;
}
