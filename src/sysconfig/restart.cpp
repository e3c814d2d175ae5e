#include "sysconfig/restart.h"

namespace fwu {
namespace {

constexpr int kWindowsTrue = 1;

// The token's own result is not looked at: without a token, enabling the privilege fails.
int EnableShutdownPrivilege(platform::SystemServices& system) {
  system.OpenProcessTokenForPrivileges();
  int result = system.LookupShutdownPrivilege();
  if (result == kWindowsTrue) {
    result = system.EnableShutdownPrivilege();
  }
  system.CloseProcessToken();
  return result;
}

}  // namespace

int RestartWindows(platform::SystemServices& system, bool is_nt) {
  if (is_nt) {
    if (const int result = EnableShutdownPrivilege(system); result != kWindowsTrue) {
      return result;
    }
  }
  return system.ExitWindows(kExitWindowsReboot, 0);
}

}  // namespace fwu
