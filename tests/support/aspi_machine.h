#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "drive/aspi_transport.h"
#include "emulator/emulated_drive.h"
#include "platform/sim/sim_aspi_manager.h"
#include "platform/sim/sim_locale.h"
#include "platform/sim/sim_system_services.h"
#include "platform/sim/virtual_clock.h"
#include "support/message_box_recorder.h"

namespace fwu::test {

// The drive side of a simulated Windows 9x PC: an ASPI manager with host adapters and emulated
// drives at their targets, on a virtual clock. The transport binds the manager when it is
// built, so a test sets the installation up first and then calls Start.
struct AspiMachine {
  explicit AspiMachine(int ansi_code_page = 1252);
  // Lets the manager finish what it still works on before the transport goes.
  ~AspiMachine();
  AspiMachine(const AspiMachine&) = delete;
  AspiMachine& operator=(const AspiMachine&) = delete;

  // An emulated drive at (host adapter, target), stamped by the machine's clock.
  emulator::EmulatedDrive& AddDrive(std::uint8_t host_adapter, std::uint8_t target,
                                    emulator::DriveConfig config);
  // Builds the transport, which binds the library.
  AspiTransport& Start();
  // A machine with one adapter (own id 7) and the target drive at 0:1, enumerated and selected.
  static constexpr std::uint8_t kDriveTarget = 1;
  emulator::EmulatedDrive& StartWithOneDrive();

  std::uint64_t NowMs() const { return clock.NowMilliseconds(); }

  sim::VirtualClock clock;
  sim::SimLocale locale;
  sim::SimSystemServices system;
  MessageBoxRecorder dialogs;
  std::vector<std::unique_ptr<emulator::EmulatedDrive>> drives;
  sim::SimAspiManager aspi{clock};
  std::optional<AspiTransport> transport;
};

}  // namespace fwu::test
