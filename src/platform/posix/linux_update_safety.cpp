#include "platform/posix/linux_update_safety.h"

#include <unistd.h>

#include "platform/posix/instance_lock.h"
#include "platform/posix/logind_inhibitor.h"
#include "platform/posix/power_supply.h"

namespace fwu::posix {

Reservation LinuxUpdateSafety::ReserveInstance() {
  return LockSingleInstance(paths_.instance_lock);
}

bool LinuxUpdateSafety::RunsAsRoot() {
  return ::geteuid() == 0;
}

bool LinuxUpdateSafety::RunsOnBatteryAlone() {
  return posix::RunsOnBatteryAlone(ReadPowerSupplies(paths_.power_supplies));
}

Reservation LinuxUpdateSafety::Reserve(const std::string& device, ReserveFor purpose) {
  return ReserveDrive(io_, paths_, device, purpose);
}

Inhibition LinuxUpdateSafety::InhibitShutdown(const std::string& who, const std::string& why) {
  return TakeLogindInhibitor(who, why);
}

}  // namespace fwu::posix
