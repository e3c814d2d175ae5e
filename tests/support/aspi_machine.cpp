#include "support/aspi_machine.h"

#include <gtest/gtest.h>

namespace fwu::test {

AspiMachine::AspiMachine(int ansi_code_page) : locale(ansi_code_page) {
  system.version = platform::OsVersion{4, 10, 2222, platform::kPlatformWindows9x, " A "};
}

AspiMachine::~AspiMachine() {
  // Requests the library completes late land before the transport checks what it still holds.
  clock.FinishThreads();
  transport.reset();
}

emulator::EmulatedDrive& AspiMachine::AddDrive(std::uint8_t host_adapter, std::uint8_t target,
                                               emulator::DriveConfig config) {
  auto drive = std::make_unique<emulator::EmulatedDrive>(std::move(config));
  drive->SetTimeSource([this] { return clock.NowMilliseconds(); });
  aspi.AttachDevice(host_adapter, target, *drive);
  drives.push_back(std::move(drive));
  return *drives.back();
}

AspiTransport& AspiMachine::Start() {
  return transport.emplace(aspi, system, dialogs, locale, clock);
}

emulator::EmulatedDrive& AspiMachine::StartWithOneDrive() {
  aspi.AddHostAdapter(7);
  emulator::EmulatedDrive& drive = AddDrive(0, kDriveTarget, emulator::EmulatedDrive::XtM7731());
  AspiTransport& started = Start();
  EXPECT_EQ(started.Enumerate(), 1);
  started.Select(0);
  drive.Log().Clear();
  return drive;
}

}  // namespace fwu::test
