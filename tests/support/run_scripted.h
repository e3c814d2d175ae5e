#pragma once

#include "platform/sim/virtual_clock.h"
#include "support/scripted_dialog_host.h"

namespace fwu::test {

// Runs one dialog by a scenario and gives back its result.
inline int RunScripted(platform::DialogLogic& dialog, Scenario scenario) {
  sim::VirtualClock clock;
  ScriptedDialogHost host(clock, std::move(scenario));
  return host.RunModal(dialog, 0);
}

}  // namespace fwu::test
