#pragma once

#include "platform/posix/device_io.h"
#include "platform/posix/drive_reservation.h"
#include "platform/posix/update_safety.h"

namespace fwu::posix {

// The safety measures on a real Linux system: the effective user, the power supply class, the
// drive's reservation and the logind inhibitor lock.
class LinuxUpdateSafety final : public UpdateSafety {
 public:
  explicit LinuxUpdateSafety(DeviceIo& io, SystemPaths paths = {})
      : io_(io), paths_(std::move(paths)) {}

  Reservation ReserveInstance() override;
  bool RunsAsRoot() override;
  bool RunsOnBatteryAlone() override;
  Reservation Reserve(const std::string& device, ReserveFor purpose) override;
  Inhibition InhibitShutdown(const std::string& who, const std::string& why) override;

 private:
  DeviceIo& io_;
  SystemPaths paths_;
};

}  // namespace fwu::posix
