#pragma once

#include <cstdint>

namespace fwu::platform {

// An open storage device; kInvalidDevice when an open failed.
using DeviceHandle = std::intptr_t;
inline constexpr DeviceHandle kInvalidDevice = -1;

inline constexpr std::uint32_t kDriveCdrom = 5;  // drive type of an optical drive letter
inline constexpr std::uint32_t kIoctlScsiPassThroughDirect = 0x4D014;
inline constexpr std::uint32_t kIoctlScsiGetCapabilities = 0x41010;

// Windows error codes the core and the simulated driver refer to.
inline constexpr std::uint32_t kErrorFileNotFound = 2;
inline constexpr std::uint32_t kErrorAccessDenied = 5;
inline constexpr std::uint32_t kErrorInvalidFunction = 1;
inline constexpr std::uint32_t kErrorNotReady = 21;
inline constexpr std::uint32_t kErrorSemTimeout = 121;
inline constexpr std::uint32_t kErrorMrMidNotFound = 317;  // FormatMessage: no text for the code

// What the pass-through transport needs of the operating system: drive letters, the storage
// driver behind them, and texts for the system's error codes. Shaped like the Windows calls
// (GetDriveTypeA, CreateFileA, DeviceIoControl, CloseHandle, GetLastError, FormatMessageA).
class PassThroughDriver {
 public:
  virtual ~PassThroughDriver() = default;

  // Drive type of a root such as "E:" (kDriveCdrom for an optical drive).
  virtual std::uint32_t DriveTypeOf(const char* root) = 0;

  // Opens "\\.\E:" for reading and writing, shared; kInvalidDevice and LastError() on failure.
  virtual DeviceHandle OpenDevice(const char* device_name) = 0;

  // One synchronous I/O control request. The driver reads and writes the caller's buffers in
  // place; for pass-through the input block carries pointers into the caller's memory.
  virtual bool SendIoControl(DeviceHandle device, std::uint32_t control_code, void* input,
                             std::uint32_t input_size, void* output, std::uint32_t output_size,
                             std::uint32_t* bytes_returned) = 0;

  virtual void CloseDevice(DeviceHandle device) = 0;

  // The error code of the last failed call on this thread.
  virtual std::uint32_t LastError() = 0;

  // The system's text for an error code, written into buffer (NUL-terminated); returns the
  // number of characters written, or 0 with LastError() set when the system has no text.
  virtual std::uint32_t SystemMessageText(std::uint32_t error_code, char* buffer,
                                          std::uint32_t size) = 0;
};

}  // namespace fwu::platform
