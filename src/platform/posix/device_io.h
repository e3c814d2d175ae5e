#pragma once

#include <cstdint>
#include <string>

struct sg_io_hdr;  // <scsi/sg.h>

namespace fwu::posix {

enum class FileKind : std::uint8_t {
  kMissing,
  kBlockDevice,
  kCharacterDevice,
  kRegularFile,
  kOther,
};

// What a path names; the device numbers are those of a device node (st_rdev).
struct FileInfo {
  FileKind kind = FileKind::kMissing;
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  int system_error = 0;  // why it could not be looked at
};

enum class OpenAccess : std::uint8_t {
  kReadWrite,
  kReadOnly,
  // Read-only and exclusive: a block device opened so can be neither mounted nor opened
  // exclusively by anyone else while it stays open.
  kReadOnlyExclusive,
};

// The system calls below the generic SCSI interface: open, the SG_IO request, close. Tests put
// an emulated drive behind it.
class DeviceIo {
 public:
  virtual ~DeviceIo() = default;
  // Never waits for a medium. A file descriptor, or -errno.
  virtual int Open(const std::string& path, OpenAccess access) = 0;
  // ioctl(fd, SG_IO, &header): 0, or the errno of a failed call.
  virtual int SgIo(int fd, sg_io_hdr& header) = 0;
  virtual void Close(int fd) = 0;
  virtual FileInfo Inspect(const std::string& path) = 0;
};

// The real calls.
class SystemDeviceIo final : public DeviceIo {
 public:
  int Open(const std::string& path, OpenAccess access) override;
  int SgIo(int fd, sg_io_hdr& header) override;
  void Close(int fd) override;
  FileInfo Inspect(const std::string& path) override;
};

}  // namespace fwu::posix
