#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "emulated_sg_io.h"
#include "emulator/emulated_drive.h"
#include "platform/posix/drive_lister.h"
#include "platform/posix/interruptions.h"
#include "platform/posix/sg_io_driver.h"
#include "platform/posix/update_safety.h"
#include "platform/posix/user_locale.h"
#include "platform/sim/virtual_clock.h"
#include "programs/linux/environment.h"

namespace fwu::test {

// The drive paths the system lists.
struct FixedLister final : posix::DriveLister {
  std::vector<std::string> OpticalDrivePaths() override { return paths; }
  std::vector<std::string> paths;
};

// The safety measures as the tests decide them; holds are counted while they last.
struct FakeSafety final : posix::UpdateSafety {
  posix::Reservation ReserveInstance() override;
  bool RunsAsRoot() override { return root; }
  bool RunsOnBatteryAlone() override { return on_battery; }
  posix::Reservation Reserve(const std::string& device, posix::ReserveFor purpose) override;
  posix::Inhibition InhibitShutdown(const std::string& who, const std::string& why) override;

  bool another_copy = false;
  bool root = true;
  bool on_battery = false;
  std::string refusal;
  std::string inhibitor_warning;
  std::vector<std::pair<std::string, posix::ReserveFor>> reserved;
  int holds = 0;  // reservations and locks not given back
  int inhibitions = 0;
};

// Signals that arrive at chosen moments of virtual time; waits pass on the clock.
struct ScriptedInterruptions final : posix::Interruptions {
  explicit ScriptedInterruptions(sim::VirtualClock& virtual_clock) : clock(virtual_clock) {}
  void Defer() override { deferred = true; }
  std::optional<std::string> Wait(std::uint32_t timeout_ms) override;
  void Resume() override { deferred = false; }

  sim::VirtualClock& clock;
  std::vector<std::pair<std::uint64_t, std::string>> arrivals;  // at milliseconds, signal
  bool deferred = false;
};

// A Linux PC with emulated drives, on which the program runs in virtual time.
struct LinuxMachine {
  explicit LinuxMachine(std::string locale = "en_US.UTF-8");
  ~LinuxMachine();
  LinuxMachine(const LinuxMachine&) = delete;
  LinuxMachine& operator=(const LinuxMachine&) = delete;

  // An XT-M7731 (by default) that installs the program's image as 1033 build 32.
  emulator::EmulatedDrive& AddDrive(
      const std::string& path, emulator::DriveConfig config = emulator::EmulatedDrive::XtM7731());
  // Runs the program with the arguments and the user's typed input; the exit code.
  int Run(std::vector<std::string> arguments, const std::string& input = "");

  std::string Out() const { return out.str(); }
  std::string Err() const { return err.str(); }

  sim::VirtualClock clock;
  EmulatedSgIo io{clock};
  FixedLister lister;
  posix::SgIoDriver driver{io, lister};
  posix::UserLocale locale;
  FakeSafety safety;
  ScriptedInterruptions interruptions{clock};
  std::istringstream in;
  std::ostringstream out;
  std::ostringstream err;
};

}  // namespace fwu::test
