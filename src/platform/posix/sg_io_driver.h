#pragma once

#include <string>
#include <vector>

#include "platform/posix/device_io.h"
#include "platform/posix/drive_lister.h"
#include "platform/scsi_command_driver.h"

namespace fwu::posix {

// Commands through the SG_IO request of the sr and sg devices.
class SgIoDriver final : public platform::ScsiCommandDriver {
 public:
  SgIoDriver(DeviceIo& io, DriveLister& lister) : io_(io), lister_(lister) {}

  std::vector<std::string> OpticalDrives() override { return lister_.OpticalDrivePaths(); }
  // Read and write where the user may; read-only is enough for root and for the commands the
  // kernel lets anyone send.
  platform::DriveOpening Open(const std::string& path) override;
  platform::ScsiCommandCompletion Execute(platform::DriveHandle drive,
                                          const platform::ScsiCommand& command) override;
  void Close(platform::DriveHandle drive) override;
  std::string SystemErrorText(int system_error) override;

 private:
  DeviceIo& io_;
  DriveLister& lister_;
};

// What the kernel's answer to one SG_IO request means: ioctl_error is 0 when the request went
// through, the errno otherwise.
platform::ScsiCommandCompletion CompletionOf(int ioctl_error, const sg_io_hdr& header);

}  // namespace fwu::posix
