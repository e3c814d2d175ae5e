#include "platform/posix/device_io.h"

#include <cerrno>

#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace fwu::posix {

int SystemDeviceIo::Open(const std::string& path, OpenAccess access) {
  int flags = O_NONBLOCK | O_CLOEXEC;
  switch (access) {
    case OpenAccess::kReadWrite:
      flags |= O_RDWR;
      break;
    case OpenAccess::kReadOnly:
      flags |= O_RDONLY;
      break;
    case OpenAccess::kReadOnlyExclusive:
      flags |= O_RDONLY | O_EXCL;
      break;
  }
  int fd = -1;
  do {
    fd = ::open(path.c_str(), flags);
  } while (fd < 0 && errno == EINTR);
  return fd < 0 ? -errno : fd;
}

int SystemDeviceIo::SgIo(int fd, sg_io_hdr& header) {
  int result = -1;
  do {
    result = ::ioctl(fd, SG_IO, &header);
  } while (result < 0 && errno == EINTR);
  return result < 0 ? errno : 0;
}

void SystemDeviceIo::Close(int fd) {
  // Linux releases the descriptor even when close reports an error; it is never retried.
  ::close(fd);
}

FileInfo SystemDeviceIo::Inspect(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    return FileInfo{.kind = FileKind::kMissing, .system_error = errno};
  }
  FileInfo info;
  if (S_ISBLK(status.st_mode)) {
    info.kind = FileKind::kBlockDevice;
  } else if (S_ISCHR(status.st_mode)) {
    info.kind = FileKind::kCharacterDevice;
  } else if (S_ISREG(status.st_mode)) {
    info.kind = FileKind::kRegularFile;
  } else {
    info.kind = FileKind::kOther;
  }
  if (info.kind == FileKind::kBlockDevice || info.kind == FileKind::kCharacterDevice) {
    info.major = ::major(status.st_rdev);
    info.minor = ::minor(status.st_rdev);
  }
  return info;
}

}  // namespace fwu::posix
