#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "emulator/emulated_drive.h"
#include "platform/sim/simulated_pc.h"

namespace fwu::test {

inline constexpr int kEnglishCodePage = 1252;
inline constexpr int kJapaneseCodePage = 932;

// A simulated PC running the named Windows ("98se", "me", "nt4", "2000", "xp", "win32s") with
// the given ANSI code page, on virtual time.
std::unique_ptr<sim::SimulatedPc> MakePc(std::string_view windows,
                                         int code_page = kEnglishCodePage);

// The next drive of the PC: letters E, F, ... on the NT family, targets 0:1, 0:2, ... under ASPI.
emulator::EmulatedDrive& AddDrive(sim::SimulatedPc& pc, emulator::DriveConfig config);
emulator::EmulatedDrive& AddTargetDrive(sim::SimulatedPc& pc, std::string revision = "1029",
                                        std::int8_t build = 32);

// Device settings of the PC's family of which every kind needs a change before a download:
// DMA detection, timing modes and autorun on NT; insert notification and DMA flags on 9x.
void AddSettingsNeedingChange(sim::SimulatedPc& pc);
// The same settings, already suitable.
void AddSuitableSettings(sim::SimulatedPc& pc);
// Every device setting of the family, as JSON text for comparison.
std::string DeviceSettings(const sim::SimulatedPc& pc);

}  // namespace fwu::test
