#include "platform/posix/sg_io_driver.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <system_error>

#include <scsi/sg.h>

namespace fwu::posix {
namespace {

using platform::CommandFault;

// The host byte of an SG_IO answer (the kernel's DID_* codes): what went wrong between the
// host and the drive. Codes not listed are reported as an I/O error of the system.
struct HostByteMeaning {
  std::uint8_t host_status;
  CommandFault fault;
  int system_error;
};

constexpr std::array<HostByteMeaning, 5> kHostBytes{{
    {0x01, CommandFault::kSelectionTimeout, 0},  // DID_NO_CONNECT
    {0x02, CommandFault::kNotCarried, EBUSY},    // DID_BUS_BUSY
    {0x03, CommandFault::kTimedOut, 0},          // DID_TIME_OUT
    {0x04, CommandFault::kNoDevice, 0},          // DID_BAD_TARGET
    {0x05, CommandFault::kAborted, 0},           // DID_ABORT
}};

// The driver byte (its low four bits): DRIVER_SENSE only says that sense data came back.
constexpr std::uint8_t kDriverByteMask = 0x0F;
constexpr std::uint8_t kDriverOk = 0x00;
constexpr std::uint8_t kDriverTimeout = 0x06;
constexpr std::uint8_t kDriverSense = 0x08;

int DirectionOf(platform::TransferDirection direction) {
  switch (direction) {
    case platform::TransferDirection::kToDevice:
      return SG_DXFER_TO_DEV;
    case platform::TransferDirection::kFromDevice:
      return SG_DXFER_FROM_DEV;
    case platform::TransferDirection::kNone:
      break;
  }
  return SG_DXFER_NONE;
}

platform::ScsiCommandCompletion NotCarried(int system_error) {
  return {.fault = CommandFault::kNotCarried, .system_error = system_error};
}

}  // namespace

platform::ScsiCommandCompletion CompletionOf(int ioctl_error, const sg_io_hdr& header) {
  if (ioctl_error != 0) {
    return NotCarried(ioctl_error);
  }
  if (header.host_status != 0) {
    const auto* known = std::find_if(kHostBytes.begin(), kHostBytes.end(), [&](const auto& row) {
      return row.host_status == header.host_status;
    });
    if (known == kHostBytes.end()) {
      return NotCarried(EIO);
    }
    return {.fault = known->fault, .system_error = known->system_error};
  }
  const std::uint8_t driver = header.driver_status & kDriverByteMask;
  if (driver == kDriverTimeout) {
    return {.fault = CommandFault::kTimedOut};
  }
  // A driver that gave up without any status from the drive has not carried the command.
  if (driver != kDriverOk && driver != kDriverSense && header.status == 0) {
    return NotCarried(EIO);
  }
  return {
      .target_status = header.status,
      .sense_bytes = header.sb_len_wr,
      .residual = header.resid < 0 ? 0U : static_cast<std::uint32_t>(header.resid),
  };
}

platform::DriveOpening SgIoDriver::Open(const std::string& path) {
  int fd = io_.Open(path, OpenAccess::kReadWrite);
  if (fd == -EACCES || fd == -EROFS || fd == -EPERM) {
    fd = io_.Open(path, OpenAccess::kReadOnly);
  }
  if (fd < 0) {
    return {.handle = platform::kNoDrive, .system_error = -fd};
  }
  return {.handle = fd};
}

platform::ScsiCommandCompletion SgIoDriver::Execute(platform::DriveHandle drive,
                                                    const platform::ScsiCommand& command) {
  sg_io_hdr header{};
  header.interface_id = 'S';
  header.dxfer_direction = DirectionOf(command.direction);
  header.cmd_len = static_cast<unsigned char>(command.cdb.size());
  header.mx_sb_len = static_cast<unsigned char>(std::min<std::size_t>(command.sense.size(), 255));
  header.dxfer_len = static_cast<unsigned int>(command.data.size());
  header.dxferp = command.data.empty() ? nullptr : command.data.data();
  // The kernel only reads the CDB.
  header.cmdp = const_cast<unsigned char*>(command.cdb.data());
  header.sbp = command.sense.data();
  header.timeout = command.timeout_ms;
  const int error = io_.SgIo(static_cast<int>(drive), header);
  return CompletionOf(error, header);
}

void SgIoDriver::Close(platform::DriveHandle drive) {
  io_.Close(static_cast<int>(drive));
}

std::string SgIoDriver::SystemErrorText(int system_error) {
  return std::error_code(system_error, std::generic_category()).message();
}

}  // namespace fwu::posix
