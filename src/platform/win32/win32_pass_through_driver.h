#pragma once

#include <cstdint>

#include "platform/pass_through_driver.h"

namespace fwu::win32 {

// Drive letters and the storage driver behind them (GetDriveTypeA, CreateFileA,
// DeviceIoControl, CloseHandle), and the system's texts for its error codes (FormatMessageA).
class Win32PassThroughDriver final : public platform::PassThroughDriver {
 public:
  std::uint32_t DriveTypeOf(const char* root) override;
  platform::DeviceHandle OpenDevice(const char* device_name) override;
  bool SendIoControl(platform::DeviceHandle device, std::uint32_t control_code, void* input,
                     std::uint32_t input_size, void* output, std::uint32_t output_size,
                     std::uint32_t* bytes_returned) override;
  void CloseDevice(platform::DeviceHandle device) override;
  std::uint32_t LastError() override;
  std::uint32_t SystemMessageText(std::uint32_t error_code, char* buffer,
                                  std::uint32_t size) override;
};

}  // namespace fwu::win32
