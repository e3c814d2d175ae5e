#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace fwu::platform {

// An open drive of a ScsiCommandDriver; kNoDrive when an open failed.
using DriveHandle = std::intptr_t;
inline constexpr DriveHandle kNoDrive = -1;

// Which way a command's data moves, seen from the host.
enum class TransferDirection : std::uint8_t { kNone, kToDevice, kFromDevice };

// One command as the system's generic SCSI interface takes it.
struct ScsiCommand {
  std::span<const std::uint8_t> cdb{};
  TransferDirection direction = TransferDirection::kNone;
  std::span<std::uint8_t> data{};   // empty with kNone
  std::span<std::uint8_t> sense{};  // where the device's sense data goes
  std::uint32_t timeout_ms = 0;
};

// What stopped a command before the device could give it a status.
enum class CommandFault : std::uint8_t {
  kNone,              // the device answered; target status and sense tell the rest
  kNotCarried,        // the system refused or lost the request; system_error says why
  kTimedOut,          // no answer within the time-out
  kAborted,           // the host aborted the command
  kNoDevice,          // nothing answers at the drive's address
  kSelectionTimeout,  // the device did not answer its selection
};

struct ScsiCommandCompletion {
  CommandFault fault = CommandFault::kNone;
  int system_error = 0;  // with kNotCarried: the system's error number
  std::uint8_t target_status = 0;
  std::uint32_t sense_bytes = 0;  // sense bytes the device returned
  std::uint32_t residual = 0;     // data bytes that were not moved
};

struct DriveOpening {
  DriveHandle handle = kNoDrive;
  int system_error = 0;  // when the open failed
};

// Drives named by a device path, and one command at a time to an open one (on Linux: the sr
// and sg devices, and SG_IO).
class ScsiCommandDriver {
 public:
  virtual ~ScsiCommandDriver() = default;

  // The device paths of the system's optical drives, in a stable order; each drive once.
  virtual std::vector<std::string> OpticalDrives() = 0;

  // Opens a drive for commands, without waiting for a medium.
  virtual DriveOpening Open(const std::string& path) = 0;
  // Sends one command and blocks until it completes, fails or times out.
  virtual ScsiCommandCompletion Execute(DriveHandle drive, const ScsiCommand& command) = 0;
  virtual void Close(DriveHandle drive) = 0;

  // The system's text for an error number.
  virtual std::string SystemErrorText(int system_error) = 0;
};

}  // namespace fwu::platform
