#include "support/pass_through_machine.h"

namespace fwu::test {

emulator::EmulatedDrive& PassThroughMachine::AddDrive(char letter, emulator::DriveConfig config,
                                                      std::uint32_t max_transfer_length) {
  auto drive = std::make_unique<emulator::EmulatedDrive>(std::move(config));
  drive->SetTimeSource([this] { return clock.NowMilliseconds(); });
  driver.AttachDrive(letter, *drive, max_transfer_length);
  drives.push_back(std::move(drive));
  return *drives.back();
}

}  // namespace fwu::test
