// The updater for Linux: the seams on the system (SG_IO on the sr and sg devices, udev, sysfs,
// systemd-logind, signals), and one run of the command line.
#include <iostream>
#include <string>
#include <vector>

#include "platform/portable/std_clock.h"
#include "platform/posix/device_io.h"
#include "platform/posix/interruptions.h"
#include "platform/posix/linux_update_safety.h"
#include "platform/posix/sg_io_driver.h"
#include "platform/posix/terminal.h"
#include "platform/posix/udev_drive_lister.h"
#include "platform/posix/user_locale.h"
#include "programs/linux/updater.h"

// A test build of the program divides its waits so that an update under test takes seconds;
// the program that ships waits in full.
#ifndef FWU_WAIT_DIVISOR
#define FWU_WAIT_DIVISOR 1
#endif

int main(int argc, char** argv) {
  fwu::posix::SystemDeviceIo io;
  fwu::posix::UdevDriveLister lister;
  fwu::posix::SgIoDriver drives(io, lister);
  fwu::portable::StdClock clock(FWU_WAIT_DIVISOR);
  const fwu::posix::UserLocale locale = fwu::posix::UserLocale::FromEnvironment();
  fwu::posix::LinuxUpdateSafety safety(io);
  fwu::posix::SignalInterruptions interruptions;
  fwu::linux_program::Environment environment{
      .drives = drives,
      .clock = clock,
      .threads = clock,
      .locale = locale,
      .safety = safety,
      .interruptions = interruptions,
      .terminal = {.in = std::cin,
                   .out = std::cout,
                   .err = std::cerr,
                   .out_is_terminal = fwu::posix::StandardOutputIsTerminal()},
      .wait_divisor = FWU_WAIT_DIVISOR,
  };
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  fwu::linux_program::Updater updater(environment);
  return updater.Run(arguments);
}
