#pragma once

#include <memory>
#include <vector>

#include "drive/pass_through_transport.h"
#include "emulator/emulated_drive.h"
#include "platform/sim/sim_locale.h"
#include "platform/sim/sim_pass_through_driver.h"
#include "platform/sim/virtual_clock.h"

namespace fwu::test {

// The storage side of a simulated NT-family PC: drive letters backed by emulated drives, and
// the pass-through transport over them, on a virtual clock.
struct PassThroughMachine {
  explicit PassThroughMachine(int ansi_code_page = 1252) : locale(ansi_code_page) {}

  // An optical drive letter with an emulated drive behind it, stamped by the machine's clock.
  emulator::EmulatedDrive& AddDrive(char letter, emulator::DriveConfig config,
                                    std::uint32_t max_transfer_length = 65536);

  sim::VirtualClock clock;
  sim::SimLocale locale;
  sim::SimPassThroughDriver driver{clock};
  PassThroughTransport transport{driver, locale};
  std::vector<std::unique_ptr<emulator::EmulatedDrive>> drives;
};

}  // namespace fwu::test
