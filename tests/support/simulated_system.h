#pragma once

#include <cstdint>
#include <string>

#include "platform/sim/sim_registry.h"
#include "platform/sim/sim_system_services.h"
#include "platform/sim/virtual_clock.h"
#include "sysconfig/system_context.h"

namespace fwu::test {

inline constexpr const char* kApplicationName = "XTM7731UP";

// A simulated PC of one platform family as the system-configuration code sees it: registry,
// services and clock. HKEY_CURRENT_USER\Software and HKEY_LOCAL_MACHINE\Software exist, as on
// every Windows.
class SimulatedSystem {
 public:
  explicit SimulatedSystem(bool is_nt = true);
  SimulatedSystem(const SimulatedSystem&) = delete;
  SimulatedSystem& operator=(const SimulatedSystem&) = delete;

  SystemContext Context();
  bool IsNt() const { return is_nt_; }

  sim::SimRegistry registry;
  sim::SimSystemServices services;
  sim::VirtualClock clock;

 private:
  bool is_nt_;
};

// Device settings as a Windows XP or Windows 98 machine has them, each kind both in a state that
// needs a change and in one that does not, plus keys that must be passed over.
void AddNtDeviceSettings(sim::SimRegistry& registry);
void AddWin9xDeviceSettings(sim::SimRegistry& registry);

// Every device setting of the family, values and types, as text for comparison.
std::string DeviceSettingsJson(const sim::SimRegistry& registry, bool is_nt);

}  // namespace fwu::test
