#include "support/scripted_device.h"

#include <algorithm>
#include <vector>

namespace fwu::fuzz {

emulator::CommandOutcome ScriptedDevice::Execute(std::span<const std::uint8_t> cdb,
                                                 DataDirection direction,
                                                 std::span<std::uint8_t> data) {
  emulator::CommandOutcome planned;
  std::vector<std::uint8_t> planned_data(data.begin(), data.end());
  if (tape_.Recording() && scenario_ != nullptr) {
    planned = scenario_->Execute(cdb, direction, planned_data);
  }

  emulator::CommandOutcome outcome;
  outcome.status = tape_.Byte(planned.status);
  const std::size_t sense_bytes = tape_.Choice(
      emulator::kSenseDataLength + 1, planned.status != 0 ? emulator::kSenseDataLength : 0);
  tape_.Fill(std::span(outcome.sense).first(sense_bytes), planned.sense);
  outcome.duration_ms = planned.duration_ms;
  // Whether the device answers at all is the seam's to script; a recording passes it on.
  outcome.completed = planned.completed;
  if (direction == DataDirection::kIn) {
    const std::uint32_t planned_in =
        std::min<std::uint32_t>(planned.transferred, static_cast<std::uint32_t>(data.size()));
    const std::uint32_t length = std::min<std::uint32_t>(
        tape_.U16(static_cast<std::uint16_t>(planned_in)), static_cast<std::uint32_t>(data.size()));
    tape_.Fill(data.first(length), std::span(planned_data).first(planned_in));
    outcome.transferred = length;
  } else if (direction == DataDirection::kOut) {
    outcome.transferred = static_cast<std::uint32_t>(data.size());
  }
  return outcome;
}

}  // namespace fwu::fuzz
