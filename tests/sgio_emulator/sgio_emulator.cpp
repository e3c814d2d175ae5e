#include "sgio_emulator/sgio_emulator.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <span>

#include <scsi/sg.h>

#include "emulator/sense_code.h"

namespace fwu::test {
namespace {

// The host and driver statuses of the kernel's SCSI midlayer that a request can come back with.
constexpr std::uint16_t kDidTimeOut = 0x03;
constexpr std::uint16_t kDriverTimeout = 0x06;
constexpr std::uint16_t kDriverSense = 0x08;
constexpr int kSgVersion = 30527;  // what the kernel's driver reports, 3.5.27
constexpr unsigned kMaxCdbBytes = 16;

int Execute(ReportedDrive& drive, sg_io_hdr_t& io) {
  if (io.interface_id != 'S') {
    return -ENOSYS;
  }
  if (io.iovec_count != 0 || io.cmd_len == 0 || io.cmd_len > kMaxCdbBytes) {
    return -EINVAL;
  }
  DataDirection direction = DataDirection::kNone;
  switch (io.dxfer_direction) {
    case SG_DXFER_NONE:
      break;
    case SG_DXFER_TO_DEV:
      direction = DataDirection::kOut;
      break;
    case SG_DXFER_FROM_DEV:
    case SG_DXFER_TO_FROM_DEV:
      direction = DataDirection::kIn;
      break;
    default:
      return -EINVAL;
  }
  const std::uint32_t length = direction == DataDirection::kNone ? 0 : io.dxfer_len;
  if (io.cmdp == nullptr || (length != 0 && io.dxferp == nullptr) ||
      (io.mx_sb_len != 0 && io.sbp == nullptr)) {
    return -EFAULT;
  }
  const std::span<std::uint8_t> data(static_cast<std::uint8_t*>(io.dxferp), length);
  const emulator::CommandOutcome outcome =
      drive.Execute(std::span<const std::uint8_t>(io.cmdp, io.cmd_len), direction, data);

  io.msg_status = 0;
  io.sb_len_wr = 0;
  io.host_status = 0;
  io.driver_status = 0;
  if (!outcome.completed) {
    io.status = 0;
    io.masked_status = 0;
    io.host_status = kDidTimeOut;
    io.driver_status = kDriverTimeout;
    io.resid = static_cast<int>(length);
    io.duration = io.timeout;
    io.info = SG_INFO_CHECK;
    return 0;
  }
  io.status = outcome.status;
  io.masked_status = static_cast<unsigned char>(outcome.status >> 1U);
  if (outcome.status == emulator::scsi_status::kCheckCondition && io.mx_sb_len != 0) {
    const std::size_t valid = std::min<std::size_t>(8U + outcome.sense[7], outcome.sense.size());
    const std::size_t written = std::min<std::size_t>(io.mx_sb_len, valid);
    std::memcpy(io.sbp, outcome.sense.data(), written);
    io.sb_len_wr = static_cast<unsigned char>(written);
    io.driver_status = kDriverSense;
  }
  io.resid = static_cast<int>(length - std::min(outcome.transferred, length));
  io.duration = outcome.duration_ms;
  io.info = outcome.status == emulator::scsi_status::kGood ? SG_INFO_OK : SG_INFO_CHECK;
  return 0;
}

}  // namespace

std::optional<std::vector<SgIoDevice>> ParseSgIoDrives(std::string_view text, std::string& error) {
  std::vector<SgIoDevice> devices;
  while (!text.empty()) {
    const std::size_t semicolon = text.find(';');
    const std::string_view entry = text.substr(0, semicolon);
    text = semicolon == std::string_view::npos ? std::string_view() : text.substr(semicolon + 1);
    if (entry.empty()) {
      continue;
    }
    const std::size_t comma = entry.find(',');
    SgIoDevice device;
    device.path = entry.substr(0, comma);
    if (device.path.empty()) {
      error = "a drive without a device path";
      return std::nullopt;
    }
    const auto options = ParseDriveOptions(
        comma == std::string_view::npos ? std::string_view() : entry.substr(comma + 1), error);
    if (!options) {
      return std::nullopt;
    }
    device.options = *options;
    const bool twice = std::ranges::any_of(
        devices, [&](const SgIoDevice& other) { return other.path == device.path; });
    if (twice) {
      error = "the device " + device.path + " is named twice";
      return std::nullopt;
    }
    devices.push_back(std::move(device));
  }
  return devices;
}

SgIoEmulator::SgIoEmulator(std::vector<SgIoDevice> devices, std::vector<std::uint8_t> plain_image,
                           std::string process)
    : plain_image_(std::move(plain_image)), process_(std::move(process)) {
  for (SgIoDevice& device : devices) {
    devices_.push_back(Device{.setup = std::move(device), .drive = nullptr});
  }
}

ReportedDrive& SgIoEmulator::DriveOf(Device& device) {
  const std::lock_guard lock(mutex_);
  if (!device.drive) {
    device.drive = std::make_unique<ReportedDrive>(device.setup.options, plain_image_,
                                                   process_ + " " + device.setup.path);
  }
  return *device.drive;
}

std::optional<int> SgIoEmulator::Ioctl(std::string_view path, unsigned long request,
                                       void* argument) {
  if (request != SG_IO && request != SG_GET_VERSION_NUM) {
    return std::nullopt;
  }
  const auto device = std::ranges::find_if(
      devices_, [&](const Device& candidate) { return candidate.setup.path == path; });
  if (device == devices_.end()) {
    return std::nullopt;
  }
  if (argument == nullptr) {
    return -EFAULT;
  }
  if (request == SG_GET_VERSION_NUM) {
    *static_cast<int*>(argument) = kSgVersion;
    return 0;
  }
  return Execute(DriveOf(*device), *static_cast<sg_io_hdr_t*>(argument));
}

}  // namespace fwu::test
