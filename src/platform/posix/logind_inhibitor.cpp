#include "platform/posix/logind_inhibitor.h"

#include <cerrno>
#include <memory>
#include <system_error>

#include <fcntl.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

namespace fwu::posix {
namespace {

struct BusDeleter {
  void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
  void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};

// The lock lasts while its descriptor is open.
class InhibitorLock final : public Hold {
 public:
  explicit InhibitorLock(int fd) : fd_(fd) {}
  ~InhibitorLock() override { ::close(fd_); }
  InhibitorLock(const InhibitorLock&) = delete;
  InhibitorLock& operator=(const InhibitorLock&) = delete;

 private:
  int fd_;
};

std::string ErrorText(int negative_error) {
  return std::error_code(-negative_error, std::generic_category()).message();
}

Inhibition NotTaken(const std::string& reason) {
  return Inhibition{.warning =
                        "shutdown and suspend are not blocked during the update (" + reason + ")"};
}

}  // namespace

Inhibition TakeLogindInhibitor(const std::string& who, const std::string& why) {
  sd_bus* raw_bus = nullptr;
  int result = sd_bus_open_system(&raw_bus);
  const std::unique_ptr<sd_bus, BusDeleter> bus(raw_bus);
  if (result < 0) {
    return NotTaken("no system bus: " + ErrorText(result));
  }
  sd_bus_error error = SD_BUS_ERROR_NULL;
  sd_bus_message* raw_reply = nullptr;
  result = sd_bus_call_method(bus.get(), "org.freedesktop.login1", "/org/freedesktop/login1",
                              "org.freedesktop.login1.Manager", "Inhibit", &error, &raw_reply,
                              "ssss", kInhibitedOperations, who.c_str(), why.c_str(), "block");
  const std::unique_ptr<sd_bus_message, BusDeleter> reply(raw_reply);
  if (result < 0) {
    const std::string reason = error.message != nullptr ? error.message : ErrorText(result);
    sd_bus_error_free(&error);
    return NotTaken("logind: " + reason);
  }
  int fd = -1;
  result = sd_bus_message_read(reply.get(), "h", &fd);
  if (result < 0) {
    return NotTaken("logind: " + ErrorText(result));
  }
  // The descriptor belongs to the reply; the lock keeps a copy of its own.
  const int lock = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
  if (lock < 0) {
    return NotTaken("logind: " + ErrorText(-errno));
  }
  return Inhibition{.hold = std::make_unique<InhibitorLock>(lock)};
}

}  // namespace fwu::posix
