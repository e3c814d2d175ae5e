#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "emulator/scsi_device.h"
#include "platform/clock.h"
#include "platform/pass_through_driver.h"

namespace fwu::sim {

// The storage driver of the simulated PC: drive letters with their types, emulated devices
// behind them, and the failures a real system can produce. Command durations and driver
// time-outs pass on the platform clock.
class SimPassThroughDriver final : public platform::PassThroughDriver {
 public:
  static constexpr std::uint32_t kDriveFixed = 3;
  static constexpr std::uint32_t kDriveNoRootDir = 1;
  static constexpr std::uint32_t kErrorInvalidParameter = 87;
  static constexpr std::uint32_t kErrorInsufficientBuffer = 122;
  static constexpr std::uint32_t kErrorInvalidHandle = 6;

  explicit SimPassThroughDriver(platform::Clock& clock);

  // An optical drive letter with the device behind it (not owned; it must outlive the driver).
  void AttachDrive(char letter, emulator::ScsiDevice& device,
                   std::uint32_t max_transfer_length = 65536);
  void SetDriveType(char letter, std::uint32_t drive_type);
  // Opens of the letter fail with this Windows error code (0 clears the failure).
  void FailOpen(char letter, std::uint32_t error_code);
  // Pass-through requests on the letter fail with this error code (0 clears the failure).
  void FailPassThrough(char letter, std::uint32_t error_code);
  // The capability query fails (the driver does not answer it).
  void FailCapabilities(char letter);
  void SetSystemMessage(std::uint32_t error_code, std::string text);

  std::uint32_t OpenCount(char letter) const;
  std::uint32_t OpenHandles() const;

  std::uint32_t DriveTypeOf(const char* root) override;
  platform::DeviceHandle OpenDevice(const char* device_name) override;
  bool SendIoControl(platform::DeviceHandle device, std::uint32_t control_code, void* input,
                     std::uint32_t input_size, void* output, std::uint32_t output_size,
                     std::uint32_t* bytes_returned) override;
  void CloseDevice(platform::DeviceHandle device) override;
  std::uint32_t LastError() override;
  std::uint32_t SystemMessageText(std::uint32_t error_code, char* buffer,
                                  std::uint32_t size) override;

 private:
  struct Letter {
    std::uint32_t drive_type = kDriveNoRootDir;
    emulator::ScsiDevice* device = nullptr;
    std::uint32_t open_error = 0;
    std::uint32_t pass_through_error = 0;
    std::optional<std::uint32_t> max_transfer_length;
    std::uint32_t opens = 0;
  };

  static std::optional<char> LetterOfRoot(const char* root);
  static std::optional<char> LetterOfDevice(const char* device_name);
  bool Fail(std::uint32_t error_code);

  platform::Clock& clock_;
  mutable std::mutex mutex_;
  std::map<char, Letter> letters_;
  std::map<platform::DeviceHandle, char> open_;
  platform::DeviceHandle next_handle_ = 0x100;
  std::map<std::uint32_t, std::string> messages_;
  std::map<std::thread::id, std::uint32_t> last_error_;
};

}  // namespace fwu::sim
