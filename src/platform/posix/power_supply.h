#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace fwu::posix {

// One entry of the power supply class, as far as the mains question needs it.
struct PowerSupply {
  std::string type{};    // "Mains", "Battery", "USB", ...
  std::string scope{};   // "Device" for a peripheral's own battery; empty or "System" otherwise
  std::string status{};  // a battery's: "Charging", "Discharging", "Full", ...
  std::optional<bool> online{};
};

// The entries under a directory laid out as /sys/class/power_supply.
std::vector<PowerSupply> ReadPowerSupplies(const std::filesystem::path& directory);

// True when the system draws on its battery without mains: it has a battery of its own, and
// either every external supply it reports is offline, or it reports none and a battery is
// discharging. A system without a battery (a desktop) is on mains.
bool RunsOnBatteryAlone(const std::vector<PowerSupply>& supplies);

}  // namespace fwu::posix
