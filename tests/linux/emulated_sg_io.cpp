#include "emulated_sg_io.h"

#include <algorithm>
#include <cerrno>
#include <span>

namespace fwu::test {
namespace {

constexpr std::uint8_t kDidTimeOut = 0x03;
constexpr std::uint8_t kDriverSense = 0x08;
constexpr std::uint32_t kSrMajor = 11;
constexpr std::uint32_t kSgMajor = 21;

DataDirection DirectionOf(int dxfer_direction) {
  switch (dxfer_direction) {
    case SG_DXFER_TO_DEV:
      return DataDirection::kOut;
    case SG_DXFER_FROM_DEV:
      return DataDirection::kIn;
    default:
      return DataDirection::kNone;
  }
}

}  // namespace

emulator::EmulatedDrive& EmulatedSgIo::AddDrive(const std::string& path,
                                                emulator::DriveConfig config) {
  auto drive = std::make_unique<emulator::EmulatedDrive>(std::move(config));
  drive->SetTimeSource([this] { return clock_.TickCount(); });
  const bool generic = path.find("/sg") != std::string::npos;
  const posix::FileInfo info{
      .kind = generic ? posix::FileKind::kCharacterDevice : posix::FileKind::kBlockDevice,
      .major = generic ? kSgMajor : kSrMajor,
      .minor = static_cast<std::uint32_t>(nodes_.size())};
  Node& node = nodes_[path];
  node = Node{std::move(drive), info};
  return *node.drive;
}

void EmulatedSgIo::FailOpen(const std::string& path, int system_error) {
  open_failures_[path] = system_error;
}

int EmulatedSgIo::Open(const std::string& path, posix::OpenAccess access) {
  opens.emplace_back(path, access);
  if (const auto failure = open_failures_.find(path); failure != open_failures_.end()) {
    return -failure->second;
  }
  const auto node = nodes_.find(path);
  if (node == nodes_.end()) {
    return -ENOENT;
  }
  open_[next_fd_] = node->second.drive.get();
  return next_fd_++;
}

void EmulatedSgIo::Close(int fd) {
  open_.erase(fd);
}

posix::FileInfo EmulatedSgIo::Inspect(const std::string& path) {
  const auto node = nodes_.find(path);
  if (node == nodes_.end()) {
    return posix::FileInfo{.kind = posix::FileKind::kMissing, .system_error = ENOENT};
  }
  return node->second.info;
}

int EmulatedSgIo::SgIo(int fd, sg_io_hdr& header) {
  requests.push_back(header);
  cdbs.emplace_back(header.cmdp, header.cmdp + header.cmd_len);
  const auto open = open_.find(fd);
  if (open == open_.end()) {
    return EBADF;
  }
  if (!answers_.empty()) {
    const Answer answer = answers_.front();
    answers_.erase(answers_.begin());
    if (answer.ioctl_error != 0) {
      return answer.ioctl_error;
    }
    header.host_status = answer.host_status;
    header.driver_status = answer.driver_status;
    header.status = answer.status;
    header.sb_len_wr = 0;
    header.resid = static_cast<int>(header.dxfer_len);
    return 0;
  }
  const DataDirection direction = DirectionOf(header.dxfer_direction);
  const std::span<std::uint8_t> data(static_cast<std::uint8_t*>(header.dxferp),
                                     direction == DataDirection::kNone ? 0 : header.dxfer_len);
  const emulator::CommandOutcome outcome = open->second->Execute(
      std::span<const std::uint8_t>(header.cmdp, header.cmd_len), direction, data);
  header.sb_len_wr = 0;
  header.driver_status = 0;
  header.host_status = 0;
  header.status = 0;
  if (!outcome.completed) {
    // The midlayer gives up after the request's time-out.
    clock_.Sleep(header.timeout);
    header.host_status = kDidTimeOut;
    return 0;
  }
  clock_.Sleep(outcome.duration_ms);
  header.status = outcome.status;
  header.masked_status = static_cast<unsigned char>(outcome.status >> 1U);
  if (outcome.status == 0x02) {
    const std::size_t sense = std::min<std::size_t>(header.mx_sb_len, outcome.sense.size());
    std::copy_n(outcome.sense.begin(), sense, header.sbp);
    header.sb_len_wr = static_cast<unsigned char>(sense);
    header.driver_status = kDriverSense;
  }
  header.resid = static_cast<int>(data.size() - outcome.transferred);
  return 0;
}

}  // namespace fwu::test
