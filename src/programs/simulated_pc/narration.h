#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "emulator/command_log.h"
#include "platform/sim/simulated_pc.h"

// How the simulated PC tells a newcomer what happens: the machine as it boots, each drive
// command on the wire, and what the program left in the registry and the drives.
namespace fwu::sim {

// Windows, code page, power, screen saver and the drives with their firmware.
std::vector<std::string> DescribeMachine(const SimulatedPc& pc);

// One drive command: where it went, its name and bytes, and how the drive answered.
std::string DescribeCommand(const SimulatedPc& pc, std::size_t drive,
                            const emulator::CommandRecord& record);

// The registry state that carries a run across a restart, and the drives' firmware.
std::vector<std::string> DescribeAfterRun(const SimulatedPc& pc);

}  // namespace fwu::sim
