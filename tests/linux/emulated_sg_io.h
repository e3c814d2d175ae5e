#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <scsi/sg.h>

#include "emulator/emulated_drive.h"
#include "platform/clock.h"
#include "platform/posix/device_io.h"

namespace fwu::test {

// The kernel's side of SG_IO with emulated drives behind device paths: opens, the request
// header as the sr and sg drivers fill it in, and the drive's time
// passing on the clock (virtual in the tests, real in the benchmark).
class EmulatedSgIo final : public posix::DeviceIo {
 public:
  // What the next request gets instead of the drive's answer.
  struct Answer {
    int ioctl_error = 0;
    std::uint8_t host_status = 0;
    std::uint8_t driver_status = 0;
    std::uint8_t status = 0;
  };

  explicit EmulatedSgIo(platform::Clock& clock) : clock_(clock) {}

  // A drive behind a device node: a generic one (major 21) where the path names an sg device,
  // a block one (major 11) otherwise; the minor number counts the drives added before it.
  emulator::EmulatedDrive& AddDrive(const std::string& path, emulator::DriveConfig config);
  void FailOpen(const std::string& path, int system_error);
  void AnswerNext(Answer answer) { answers_.push_back(answer); }

  int Open(const std::string& path, posix::OpenAccess access) override;
  int SgIo(int fd, sg_io_hdr& header) override;
  void Close(int fd) override;
  posix::FileInfo Inspect(const std::string& path) override;

  std::vector<std::pair<std::string, posix::OpenAccess>> opens;
  std::vector<sg_io_hdr> requests;              // as the program filled them in
  std::vector<std::vector<std::uint8_t>> cdbs;  // of the requests, in order
  std::size_t OpenDescriptors() const { return open_.size(); }

 private:
  struct Node {
    std::unique_ptr<emulator::EmulatedDrive> drive;
    posix::FileInfo info;
  };

  platform::Clock& clock_;
  std::map<std::string, Node> nodes_;
  std::map<std::string, int> open_failures_;
  std::map<int, emulator::EmulatedDrive*> open_;
  std::vector<Answer> answers_;
  int next_fd_ = 3;
};

}  // namespace fwu::test
