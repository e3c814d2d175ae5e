// The SG_IO emulator as a preloaded library: the process's ioctl, answering for the configured
// devices and passing every other call on to the system's (see sgio_emulator.h).
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <dlfcn.h>
#include <limits.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "sgio_emulator/sgio_emulator.h"

namespace {

using IoctlFunction = int (*)(int, unsigned long, ...);

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

// The path a file is known by, with links resolved; as given when it does not exist (yet).
std::string CanonicalPath(const std::string& path) {
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

std::string DescriptorPath(int fd) {
  char link[64];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  char target[PATH_MAX];
  const ssize_t length = readlink(link, target, sizeof target);
  return length > 0 ? std::string(target, static_cast<std::size_t>(length)) : std::string();
}

std::string ProcessName() {
  std::string name = "pid " + std::to_string(getpid());
  if (std::FILE* file = std::fopen("/proc/self/cmdline", "rb")) {
    char command[256] = {};
    const std::size_t read = std::fread(command, 1, sizeof command - 1, file);
    std::fclose(file);
    if (read > 0) {
      name += " ";
      name += command;  // the first argument, up to its NUL
    }
  }
  return name;
}

// Built at the first request, never destroyed: other threads may still call while the process
// ends.
fwu::test::SgIoEmulator& Emulator() {
  static auto* const emulator = [] {
    std::string error;
    auto devices = fwu::test::ParseSgIoDrives(Environment("FWU_SGIO_DRIVES"), error);
    if (!devices) {
      std::fprintf(stderr, "sgio emulator: FWU_SGIO_DRIVES: %s; no device is emulated\n",
                   error.c_str());
      devices.emplace();
    }
    for (fwu::test::SgIoDevice& device : *devices) {
      device.path = CanonicalPath(device.path);
    }
    return new fwu::test::SgIoEmulator(
        std::move(*devices), fwu::test::FileBytes(Environment("FWU_SGIO_IMAGE")), ProcessName());
  }();
  return *emulator;
}

IoctlFunction SystemIoctl() {
  static const auto next = reinterpret_cast<IoctlFunction>(dlsym(RTLD_NEXT, "ioctl"));
  return next;
}

}  // namespace

// NOLINTNEXTLINE(readability-identifier-naming): the C library's name, which this replaces
extern "C" int ioctl(int fd, unsigned long request, ...) noexcept {
  va_list arguments;
  va_start(arguments, request);
  void* const argument = va_arg(arguments, void*);
  va_end(arguments);
  if (request == SG_IO || request == SG_GET_VERSION_NUM) {
    try {
      if (const auto result = Emulator().Ioctl(DescriptorPath(fd), request, argument)) {
        if (*result < 0) {
          errno = -*result;
          return -1;
        }
        return 0;
      }
    } catch (...) {
      errno = EIO;
      return -1;
    }
  }
  const IoctlFunction next = SystemIoctl();
  if (next == nullptr) {
    errno = ENOSYS;
    return -1;
  }
  return next(fd, request, argument);
}
