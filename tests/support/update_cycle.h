#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/run_outcome.h"
#include "platform/sim/simulated_pc.h"
#include "support/auto_user_host.h"

namespace fwu::test {

inline constexpr const char* kUpToDateMessage = "CD-Drive firmware is NOT need to update firmware.";

// The PC on which the sweeps run the whole cycle: the named Windows, the target drive at
// firmware 1029, and device settings of which every kind needs a change before the download.
std::unique_ptr<sim::SimulatedPc> CycleMachine(std::string_view windows);

// What one start of the program came to, as the user saw it.
struct StartRecord {
  RunOutcome outcome = RunOutcome::kRefused;
  std::vector<std::string> messages;    // the message boxes' texts, in UTF-8
  std::vector<std::string> transcript;  // the host's transcript
};

// One start with the user who agrees to everything; `prepare` may hook into the user's host
// first.
StartRecord StartAgreeing(sim::SimulatedPc& pc,
                          const std::function<void(AutoUserHost&)>& prepare = {});

// Whether the start found the drive's firmware up to date, and said so and nothing else.
bool FoundUpToDate(const StartRecord& start);

// Once the PC is back after whatever happened: Windows starts, and the program is started (by
// the logon's Run entry, or by the user) until it finds the firmware up to date, at most
// most_starts times. Returns the last start.
StartRecord StartUntilUpToDate(sim::SimulatedPc& pc, int most_starts,
                               const std::function<void(AutoUserHost&)>& prepare = {});

// Where every cycle must end, however it was interrupted: the last start found the firmware up
// to date, the drive has it, every device setting is as it was before the first start, and
// nothing of the program's is left in the registry.
void ExpectCycleFinished(const sim::SimulatedPc& pc, const StartRecord& last,
                         const std::string& original_settings);

// Every device setting value of the PC's family, by key path and value name.
std::map<std::string, sim::StoredValue> DeviceSettingValues(const sim::SimulatedPc& pc);

}  // namespace fwu::test
