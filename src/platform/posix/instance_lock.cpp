#include "platform/posix/instance_lock.h"

#include <cerrno>
#include <system_error>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace fwu::posix {
namespace {

class FileLock final : public Hold {
 public:
  explicit FileLock(int fd) : fd_(fd) {}
  ~FileLock() override { ::close(fd_); }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  int fd_;
};

std::string ErrorText(int system_error) {
  return std::error_code(system_error, std::generic_category()).message();
}

Reservation Unlocked(const std::filesystem::path& lock_file, int system_error) {
  Reservation reservation;
  reservation.hold = std::make_unique<Hold>();
  reservation.notes.push_back("other copies of the program are not kept out: " +
                              lock_file.string() + ": " + ErrorText(system_error));
  return reservation;
}

}  // namespace

Reservation LockSingleInstance(const std::filesystem::path& lock_file) {
  // Read access is enough for the lock; a file another user made may allow no more.
  int fd = ::open(lock_file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    fd = ::open(lock_file.c_str(), O_RDONLY | O_CLOEXEC);
  }
  if (fd < 0) {
    return Unlocked(lock_file, errno);
  }
  int locked = -1;
  do {
    locked = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (locked != 0 && errno == EINTR);
  if (locked != 0) {
    const int error = errno;
    ::close(fd);
    if (error == EWOULDBLOCK) {
      Reservation refused;
      refused.refusal = "another copy of the program is running: wait until it has ended";
      return refused;
    }
    return Unlocked(lock_file, error);
  }
  Reservation reservation;
  reservation.hold = std::make_unique<FileLock>(fd);
  return reservation;
}

}  // namespace fwu::posix
