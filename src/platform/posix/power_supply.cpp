#include "platform/posix/power_supply.h"

#include <algorithm>
#include <fstream>
#include <system_error>

namespace fwu::posix {
namespace {

std::string FirstLine(const std::filesystem::path& file) {
  std::ifstream stream(file);
  std::string line;
  std::getline(stream, line);
  return line;
}

bool OfTheSystem(const PowerSupply& supply) {
  return supply.scope != "Device";
}

bool IsBattery(const PowerSupply& supply) {
  return supply.type == "Battery" && OfTheSystem(supply);
}

// Mains adapters, USB and wireless chargers; a UPS says nothing about this machine's input.
bool IsExternal(const PowerSupply& supply) {
  return supply.type != "Battery" && supply.type != "UPS" && OfTheSystem(supply);
}

}  // namespace

std::vector<PowerSupply> ReadPowerSupplies(const std::filesystem::path& directory) {
  std::vector<PowerSupply> supplies;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
    const std::filesystem::path& path = entry.path();
    PowerSupply supply{
        .type = FirstLine(path / "type"),
        .scope = FirstLine(path / "scope"),
        .status = FirstLine(path / "status"),
    };
    const std::string online = FirstLine(path / "online");
    if (!online.empty()) {
      supply.online = online != "0";
    }
    supplies.push_back(std::move(supply));
  }
  return supplies;
}

bool RunsOnBatteryAlone(const std::vector<PowerSupply>& supplies) {
  if (std::none_of(supplies.begin(), supplies.end(), IsBattery)) {
    return false;
  }
  if (std::any_of(supplies.begin(), supplies.end(), [](const PowerSupply& supply) {
        return IsExternal(supply) && supply.online.value_or(false);
      })) {
    return false;
  }
  // An external supply that says it is offline is believed; one that says nothing is not.
  if (std::any_of(supplies.begin(), supplies.end(), [](const PowerSupply& supply) {
        return IsExternal(supply) && supply.online.has_value();
      })) {
    return true;
  }
  return std::any_of(supplies.begin(), supplies.end(), [](const PowerSupply& supply) {
    return IsBattery(supply) && supply.status == "Discharging";
  });
}

}  // namespace fwu::posix
