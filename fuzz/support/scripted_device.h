#pragma once

#include <cstdint>
#include <span>

#include "emulator/scsi_device.h"
#include "support/tape.h"

namespace fwu::fuzz {

// A device whose every answer comes from the tape: the SCSI status, as many sense bytes as the
// tape says, and for a command with data in, any number of bytes up to the host's buffer. So
// INQUIRY data of any length and content, any sense, and any identification result reach the
// program. When the tape records, the scenario device behind it answers and its answer is
// written down (without a scenario device: GOOD, no sense, no data).
class ScriptedDevice final : public emulator::ScsiDevice {
 public:
  explicit ScriptedDevice(Tape& tape, emulator::ScsiDevice* scenario = nullptr)
      : tape_(tape), scenario_(scenario) {}

  emulator::CommandOutcome Execute(std::span<const std::uint8_t> cdb, DataDirection direction,
                                   std::span<std::uint8_t> data) override;

 private:
  Tape& tape_;
  emulator::ScsiDevice* scenario_;
};

}  // namespace fwu::fuzz
