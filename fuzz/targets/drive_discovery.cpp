// The drive search, the main dialog's scan and the revision checks over an ASPI library or a
// pass-through driver, and drives, that answer whatever the fuzzer's bytes say.
#include "support/drive_discovery.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fwu::fuzz::Tape tape({data, size});
  fwu::fuzz::RunDriveDiscovery(tape);
  return 0;
}
