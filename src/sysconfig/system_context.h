#pragma once

#include <string>

#include "platform/clock.h"
#include "platform/registry.h"
#include "platform/system_services.h"

namespace fwu {

// What the system-configuration operations and the resume state work on: the platform's
// registry and services, the platform family decided at start-up, and the application name that
// names the per-user store and the Run entry. The change counter is not here: the change store
// owns it (sysconfig/change_store.h).
struct SystemContext {
  platform::Registry& registry;
  platform::SystemServices& system;
  platform::Clock& clock;
  bool is_nt = true;
  std::string application_name;

  // Gives the rest of the time slice away, as the program does after each finished write.
  void Yield() const { clock.Sleep(0); }
};

}  // namespace fwu
