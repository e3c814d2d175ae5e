#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace fwu::posix {

// Something the system grants for as long as the object lives, and gives back when it goes.
class Hold {
 public:
  virtual ~Hold() = default;
};

// The drive kept for the update: opened exclusively (so that nothing mounts it) and with the
// kernel's media-change polling paused, or why it cannot be.
struct Reservation {
  std::unique_ptr<Hold> hold{};      // none when refused
  std::string refusal{};             // why the drive cannot be reserved
  std::vector<std::string> notes{};  // measures skipped, and why
};

// Shutdown, sleep and the power and lid keys blocked, or a warning that they are not.
struct Inhibition {
  std::unique_ptr<Hold> hold{};
  std::string warning{};
};

enum class ReserveFor : std::uint8_t {
  kCheck,   // the mount check and the exclusive open only; nothing is changed
  kUpdate,  // and the media-change polling paused until the hold is given back
};

// What keeps a download safe on the system, and what it must not start without.
class UpdateSafety {
 public:
  virtual ~UpdateSafety() = default;
  // The program's one copy on the system, held until the hold goes; refused while another
  // copy holds it.
  virtual Reservation ReserveInstance() = 0;
  virtual bool RunsAsRoot() = 0;
  virtual bool RunsOnBatteryAlone() = 0;
  virtual Reservation Reserve(const std::string& device, ReserveFor purpose) = 0;
  // who: the program's name; why: what the lock is for, as the system shows it.
  virtual Inhibition InhibitShutdown(const std::string& who, const std::string& why) = 0;
};

}  // namespace fwu::posix
