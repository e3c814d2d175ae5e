#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>

#include "emulator/scsi_device.h"
#include "platform/pass_through_driver.h"
#include "support/scripted_device.h"
#include "support/tape.h"

namespace fwu::fuzz {

// One drive letter of a recorded scenario.
struct ScenarioLetter {
  std::uint32_t drive_type = platform::kDriveCdrom;
  emulator::ScsiDevice* device = nullptr;  // not owned
  std::uint32_t open_error = 0;            // nonzero: opens fail with it
  std::uint32_t pass_through_error = 0;    // nonzero: pass-through requests fail with it
  std::optional<std::uint32_t> max_transfer_length = 65536;  // empty: no capability answer
};
using PassThroughScenario = std::map<char, ScenarioLetter>;

// The storage driver as the tape scripts it: the type of every drive letter, whether an open or
// a request fails and with which error code, what a drive answers (through a ScriptedDevice),
// the transfer limit the capability query reports, and the system's message texts.
//
// It holds the transport to the driver's contract: only drive-letter devices are opened, every
// handle is closed, and each pass-through request is well-formed (its record, its sense buffer
// and its data inside the block handed over, the data direction that of the operation code).
class ScriptedPassThroughDriver final : public platform::PassThroughDriver {
 public:
  // The scenario is what a recording answers from; unused when the tape is read.
  explicit ScriptedPassThroughDriver(Tape& tape, const PassThroughScenario* scenario = nullptr);
  ~ScriptedPassThroughDriver() override;
  ScriptedPassThroughDriver(const ScriptedPassThroughDriver&) = delete;
  ScriptedPassThroughDriver& operator=(const ScriptedPassThroughDriver&) = delete;

  std::uint32_t DriveTypeOf(const char* root) override;
  platform::DeviceHandle OpenDevice(const char* device_name) override;
  bool SendIoControl(platform::DeviceHandle device, std::uint32_t control_code, void* input,
                     std::uint32_t input_size, void* output, std::uint32_t output_size,
                     std::uint32_t* bytes_returned) override;
  void CloseDevice(platform::DeviceHandle device) override;
  std::uint32_t LastError() override { return last_error_; }
  std::uint32_t SystemMessageText(std::uint32_t error_code, char* buffer,
                                  std::uint32_t size) override;

  std::size_t OpenHandles() const { return open_.size(); }

 private:
  const ScenarioLetter* Planned(char letter) const;
  emulator::ScsiDevice& DeviceOf(char letter);
  bool PassThrough(char letter, void* block, std::uint32_t block_size);
  bool Capabilities(char letter, void* output, std::uint32_t output_size);

  Tape& tape_;
  const PassThroughScenario* scenario_;
  ScriptedDevice scripted_device_;
  std::map<char, std::unique_ptr<ScriptedDevice>> scenario_devices_;
  std::map<platform::DeviceHandle, char> open_;
  platform::DeviceHandle next_handle_ = 0x100;
  std::uint32_t last_error_ = 0;
};

}  // namespace fwu::fuzz
