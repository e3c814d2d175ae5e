#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "drive/drive_transport.h"
#include "emulator/emulated_drive.h"
#include "platform/locale.h"
#include "platform/sim/virtual_clock.h"
#include "support/aspi_machine.h"
#include "support/pass_through_machine.h"

namespace fwu::test {

enum class TransportKind : std::uint8_t { kPassThrough, kAspi };

std::string NameOf(TransportKind kind);

// Emulated drives behind the DriveTransport of one kind, so that a scenario runs the same way
// over pass-through (NT family) and over ASPI (Windows 9x). Drives are added first; the first
// call of Transport builds the transport in its mode.
class DriveRig {
 public:
  DriveRig(TransportKind kind, int ansi_code_page);
  // Lets a worker still under way finish while everything it uses exists.
  ~DriveRig();
  DriveRig(const DriveRig&) = delete;
  DriveRig& operator=(const DriveRig&) = delete;

  emulator::EmulatedDrive& AddDrive(emulator::DriveConfig config);
  // Another device at the address of drive n (from 0), as if the drive were exchanged after
  // the drive list was built.
  emulator::EmulatedDrive& SwapDrive(int n, emulator::DriveConfig config);
  DriveTransport& Transport();
  sim::VirtualClock& Clock();
  const platform::Locale& Locale() const;

 private:
  TransportKind kind_;
  std::unique_ptr<PassThroughMachine> pass_through_;
  std::unique_ptr<AspiMachine> aspi_;
  std::optional<DriveTransport> transport_;
  int drives_ = 0;
};

// The plain firmware image the build embeds (stored scrambled in the program).
std::vector<std::uint8_t> PlainImage();

}  // namespace fwu::test
