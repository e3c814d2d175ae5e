#pragma once

// The emulated XT-M7731 behind the Linux SCSI generic interface, for programs that reach their
// drive through ioctl(fd, SG_IO, struct sg_io_hdr*) on an open device: the Windows program
// under Wine (whose pass-through requests become exactly that call in the program's own
// process) and the Linux program. Built as a library to preload (LD_PRELOAD) into the process:
// it answers SG_IO and SG_GET_VERSION_NUM on a descriptor whose file is one of the configured
// device paths, each with a drive of its own, and passes every other call on to the system.
// The device path may name any file (an empty regular file will do): the library goes by the
// path the descriptor was opened on, never by what the file is.
//
// Set up through the environment:
//   FWU_SGIO_DRIVES  the drives, separated by ';', each a device path followed by the drive's
//                    options, comma-separated (drive_report/drive_options.h: revision=R,
//                    report=FILE, reject-block=K, unit-attention=N), for example
//                    "/tmp/e-device,revision=1033,report=/tmp/e.json;/tmp/g-device,report=/tmp/g.json"
//   FWU_SGIO_IMAGE   the plain firmware image the drives accept: a complete download of it
//                    installs the revision and build of the program's image list entry
// A drive is built at its device's first request, so only a process that talks to it writes a
// boot line into its log. The report files are those of drive_report/reported_drive.h: the
// summary REPORT and the received image REPORT.bin after every SEND DIAGNOSTIC, and the command
// log REPORT.log line by line. A configuration the library cannot read is reported once on
// standard error, and then no device is emulated.
//
// What a request gets, as the kernel's SCSI generic driver gives it:
// - interface_id other than 'S': ENOSYS; iovec_count other than 0 (scatter lists): EINVAL; a
//   CDB length of 0 or above 16: EINVAL; a missing CDB, a missing data buffer with data to
//   move or a missing sense buffer with room for sense: EFAULT.
// - SG_DXFER_FROM_DEV (and SG_DXFER_TO_FROM_DEV) moves data in, SG_DXFER_TO_DEV out,
//   SG_DXFER_NONE none, whatever dxfer_len says; any other direction: EINVAL. The drive never
//   moves more than dxfer_len bytes.
// - On return: status and masked_status; sense (fixed format, 24 bytes) with CHECK CONDITION,
//   cut to mx_sb_len, its length in sb_len_wr and driver_status DRIVER_SENSE; resid, the data
//   bytes not moved; duration, the time the drive says the command took (it answers at once);
//   info SG_INFO_CHECK when the status is not GOOD. The ioctl itself succeeds, CHECK CONDITION
//   included. A command the drive never completes (a fault the options cannot plant) comes
//   back with host_status DID_TIME_OUT and nothing moved.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "drive_report/drive_options.h"
#include "drive_report/reported_drive.h"

namespace fwu::test {

struct SgIoDevice {
  std::string path;
  DriveOptions options;
};

// The devices of FWU_SGIO_DRIVES; nothing, with the reason in `error`, for a text that does
// not parse (an empty device path, a bad option, one path twice).
std::optional<std::vector<SgIoDevice>> ParseSgIoDrives(std::string_view text, std::string& error);

class SgIoEmulator {
 public:
  // `process` names the process in the boot lines of the drives' logs.
  SgIoEmulator(std::vector<SgIoDevice> devices, std::vector<std::uint8_t> plain_image,
               std::string process);

  // Answers an ioctl on a descriptor opened on `path`: 0 or a negative errno value. Nothing
  // when the path is none of the devices or the request is one the library leaves to the
  // system.
  std::optional<int> Ioctl(std::string_view path, unsigned long request, void* argument);

 private:
  struct Device {
    SgIoDevice setup;
    std::unique_ptr<ReportedDrive> drive;  // built at the device's first request
  };

  ReportedDrive& DriveOf(Device& device);

  std::vector<Device> devices_;
  std::vector<std::uint8_t> plain_image_;
  std::string process_;
  std::mutex mutex_;  // guards the building of drives
};

}  // namespace fwu::test
