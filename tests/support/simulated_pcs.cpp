#include "support/simulated_pcs.h"

#include <gtest/gtest.h>

#include "platform/sim/device_setting_presets.h"
#include "platform/sim/windows_versions.h"
#include "programs/simulated_pc/program_run.h"
#include "support/simulated_system.h"

namespace fwu::test {

std::unique_ptr<sim::SimulatedPc> MakePc(std::string_view windows, int code_page) {
  const std::optional<platform::OsVersion> version = sim::WindowsVersionNamed(windows);
  EXPECT_TRUE(version) << "no Windows named " << windows;
  return std::make_unique<sim::SimulatedPc>(version.value_or(platform::OsVersion{}), code_page,
                                            sim::CarriedFirmware());
}

emulator::EmulatedDrive& AddDrive(sim::SimulatedPc& pc, emulator::DriveConfig config) {
  const auto n = static_cast<std::uint8_t>(pc.DriveCount());
  return pc.AddDrive({static_cast<char>('E' + n), 0, static_cast<std::uint8_t>(1 + n)},
                     std::move(config));
}

emulator::EmulatedDrive& AddTargetDrive(sim::SimulatedPc& pc, std::string revision,
                                        std::int8_t build) {
  return AddDrive(pc, emulator::EmulatedDrive::XtM7731(std::move(revision), build));
}

void AddSettingsNeedingChange(sim::SimulatedPc& pc) {
  sim::AddDeviceSettings(pc.registry, pc.IsNt(), true);
}

void AddSuitableSettings(sim::SimulatedPc& pc) {
  sim::AddDeviceSettings(pc.registry, pc.IsNt(), false);
}

std::string DeviceSettings(const sim::SimulatedPc& pc) {
  return DeviceSettingsJson(pc.registry, pc.IsNt());
}

}  // namespace fwu::test
