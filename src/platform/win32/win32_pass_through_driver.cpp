#include "platform/win32/win32_pass_through_driver.h"

#include "platform/win32/handle_cast.h"
#include "platform/win32/windows_api.h"

namespace fwu::win32 {

namespace {

HANDLE SystemHandle(platform::DeviceHandle device) {
  return PointerFrom<HANDLE>(device);
}

}  // namespace

static_assert(platform::kDriveCdrom == DRIVE_CDROM);

std::uint32_t Win32PassThroughDriver::DriveTypeOf(const char* root) {
  return GetDriveTypeA(root);
}

platform::DeviceHandle Win32PassThroughDriver::OpenDevice(const char* device_name) {
  HANDLE device =
      CreateFileA(device_name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  if (device == INVALID_HANDLE_VALUE) {
    return platform::kInvalidDevice;
  }
  return reinterpret_cast<platform::DeviceHandle>(device);
}

bool Win32PassThroughDriver::SendIoControl(platform::DeviceHandle device,
                                           std::uint32_t control_code, void* input,
                                           std::uint32_t input_size, void* output,
                                           std::uint32_t output_size,
                                           std::uint32_t* bytes_returned) {
  DWORD returned = 0;
  const BOOL sent = DeviceIoControl(SystemHandle(device), control_code, input, input_size, output,
                                    output_size, &returned, nullptr);
  if (bytes_returned != nullptr) {
    *bytes_returned = returned;
  }
  return sent != FALSE;
}

void Win32PassThroughDriver::CloseDevice(platform::DeviceHandle device) {
  if (device != platform::kInvalidDevice) {
    CloseHandle(SystemHandle(device));
  }
}

std::uint32_t Win32PassThroughDriver::LastError() {
  return GetLastError();
}

std::uint32_t Win32PassThroughDriver::SystemMessageText(std::uint32_t error_code, char* buffer,
                                                        std::uint32_t size) {
  // Language 0: the system picks the text's language by its own rules (the thread's, the
  // user's, the system's, then English), so the text follows the installed Windows.
  constexpr DWORD kAnyLanguage = 0;
  return FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                        error_code, kAnyLanguage, buffer, size, nullptr);
}

}  // namespace fwu::win32
