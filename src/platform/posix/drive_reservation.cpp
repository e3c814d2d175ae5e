#include "platform/posix/drive_reservation.h"

#include <fstream>
#include <optional>
#include <sstream>
#include <system_error>
#include <vector>

#include "platform/posix/mount_table.h"

namespace fwu::posix {
namespace {

std::string ErrorText(int system_error) {
  return std::error_code(system_error, std::generic_category()).message();
}

std::string Trimmed(std::string text) {
  const auto end = text.find_last_not_of(" \t\r\n");
  text.erase(end == std::string::npos ? 0 : end + 1);
  return text;
}

std::optional<std::string> ReadFile(const std::filesystem::path& file) {
  std::ifstream stream(file);
  if (!stream) {
    return std::nullopt;
  }
  std::ostringstream text;
  text << stream.rdbuf();
  return text.str();
}

bool WriteFile(const std::filesystem::path& file, const std::string& text) {
  std::ofstream stream(file);
  stream << text << '\n';
  stream.flush();
  return static_cast<bool>(stream);
}

// A block device: its node and its numbers.
struct BlockDevice {
  std::string path;
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
};

std::string Numbers(std::uint32_t major, std::uint32_t minor) {
  return std::to_string(major) + ":" + std::to_string(minor);
}

// The block device of the SCSI device behind a generic node: sysfs lists it under the node's
// device, and its uevent names its node.
std::optional<BlockDevice> BlockDeviceOfGeneric(const SystemPaths& paths, const FileInfo& node) {
  std::error_code error;
  const auto blocks =
      paths.sysfs / "dev" / "char" / Numbers(node.major, node.minor) / "device" / "block";
  for (const auto& entry : std::filesystem::directory_iterator(blocks, error)) {
    const std::string name = entry.path().filename().string();
    BlockDevice block{.path = (paths.devices / name).string()};
    char colon = 0;
    std::istringstream numbers(
        Trimmed(ReadFile(paths.sysfs / "block" / name / "dev").value_or("")));
    if (!(numbers >> block.major >> colon >> block.minor) || colon != ':') {
      continue;
    }
    std::istringstream uevent(ReadFile(paths.sysfs / "block" / name / "uevent").value_or(""));
    std::string line;
    while (std::getline(uevent, line)) {
      if (line.rfind("DEVNAME=", 0) == 0) {
        block.path = (paths.devices / line.substr(8)).string();
      }
    }
    return block;
  }
  return std::nullopt;
}

// The exclusive descriptor and the polling interval, given back in reverse order.
class DriveHold final : public Hold {
 public:
  DriveHold(DeviceIo& io, int exclusive_fd) : io_(io), exclusive_fd_(exclusive_fd) {}
  ~DriveHold() override {
    if (polling_file_) {
      WriteFile(*polling_file_, old_polling_);
    }
    io_.Close(exclusive_fd_);
  }
  DriveHold(const DriveHold&) = delete;
  DriveHold& operator=(const DriveHold&) = delete;

  // Pauses the polling; false, with the reason, when it cannot.
  bool PausePolling(const std::filesystem::path& file, std::string& reason) {
    const std::optional<std::string> old = ReadFile(file);
    if (!old) {
      reason = "the kernel offers no polling setting for it";
      return false;
    }
    if (!WriteFile(file, "0")) {
      reason = "the setting could not be written";
      return false;
    }
    polling_file_ = file;
    old_polling_ = Trimmed(*old);
    return true;
  }

 private:
  DeviceIo& io_;
  int exclusive_fd_;
  std::optional<std::filesystem::path> polling_file_;
  std::string old_polling_;
};

Reservation ReserveBlockDevice(DeviceIo& io, const SystemPaths& paths, const BlockDevice& block,
                               const std::string& device, ReserveFor purpose) {
  Reservation reservation;
  const std::vector<std::string> mounted =
      MountPointsOf(ReadFile(paths.mountinfo).value_or(""), block.major, block.minor);
  if (!mounted.empty()) {
    reservation.refusal = device + " is mounted on " + mounted.front() +
                          ": unmount it first (umount " + mounted.front() + ")";
    return reservation;
  }
  const int fd = io.Open(block.path, OpenAccess::kReadOnlyExclusive);
  if (fd < 0) {
    reservation.refusal = device + " cannot be opened exclusively (" + ErrorText(-fd) +
                          "): another program is using it";
    return reservation;
  }
  auto hold = std::make_unique<DriveHold>(io, fd);
  if (purpose == ReserveFor::kCheck) {
    reservation.hold = std::move(hold);
    return reservation;
  }
  std::string reason;
  const auto polling =
      paths.sysfs / "dev" / "block" / Numbers(block.major, block.minor) / "events_poll_msecs";
  if (!hold->PausePolling(polling, reason)) {
    reservation.notes.push_back("the media-change polling of " + block.path +
                                " is not paused: " + reason);
  }
  reservation.hold = std::move(hold);
  return reservation;
}

// A path the drive's safety measures do not apply to: it is reserved as it is.
Reservation Unguarded(const std::string& note) {
  Reservation reservation;
  reservation.hold = std::make_unique<Hold>();
  reservation.notes.push_back(note);
  return reservation;
}

Reservation Refused(std::string refusal) {
  Reservation reservation;
  reservation.refusal = std::move(refusal);
  return reservation;
}

}  // namespace

Reservation ReserveDrive(DeviceIo& io, const SystemPaths& paths, const std::string& device,
                         ReserveFor purpose) {
  const FileInfo info = io.Inspect(device);
  switch (info.kind) {
    case FileKind::kBlockDevice:
      return ReserveBlockDevice(io, paths, BlockDevice{device, info.major, info.minor}, device,
                                purpose);
    case FileKind::kCharacterDevice:
      if (const std::optional<BlockDevice> block = BlockDeviceOfGeneric(paths, info)) {
        return ReserveBlockDevice(io, paths, *block, device, purpose);
      }
      return Unguarded(device +
                       " has no block device: the mount check, the exclusive open and the pause "
                       "of the media-change polling are skipped");
    case FileKind::kRegularFile:
      return Unguarded(device +
                       " is an ordinary file, not a device: the mount check, the exclusive open "
                       "and the pause of the media-change polling are skipped");
    case FileKind::kMissing:
      return Refused(device + ": " + ErrorText(info.system_error));
    case FileKind::kOther:
      break;
  }
  return Refused(device + " is not a device");
}

}  // namespace fwu::posix
