#include "platform/win32/win32_system_services.h"

#include <vector>

#include <direct.h>

#include "platform/win32/handle_cast.h"
#include "platform/win32/system_function.h"
#include "platform/win32/windows_api.h"

namespace fwu::win32 {

namespace {

// The size GetVersionExA is told: the plain OSVERSIONINFOA, which every version accepts.
constexpr DWORD kVersionInfoSize = 148;
static_assert(sizeof(OSVERSIONINFOA) == kVersionInfoSize);

// Windows NT 4.0 has no power status; looked up at run time so that the program still loads
// there (start-up does not ask for it on NT before 5.0).
using GetSystemPowerStatusFunction = BOOL(WINAPI*)(LPSYSTEM_POWER_STATUS);

// The longest path a module file name can have.
constexpr DWORD kLongestModulePath = 32768;

}  // namespace

Win32SystemServices::~Win32SystemServices() {
  CloseProcessToken();
}

bool Win32SystemServices::QueryVersion(platform::OsVersion& version) {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = kVersionInfoSize;
  if (GetVersionExA(&info) == FALSE) {
    return false;
  }
  version.major = info.dwMajorVersion;
  version.minor = info.dwMinorVersion;
  version.build = info.dwBuildNumber;
  version.platform_id = info.dwPlatformId;
  version.service_pack = info.szCSDVersion;
  return true;
}

bool Win32SystemServices::QueryPowerStatus(platform::PowerStatus& status) {
  const auto get_power_status =
      SystemFunction<GetSystemPowerStatusFunction>("kernel32.dll", "GetSystemPowerStatus");
  SYSTEM_POWER_STATUS power{};
  if (get_power_status == nullptr || get_power_status(&power) == FALSE) {
    return false;
  }
  status.ac_line_status = power.ACLineStatus;
  status.battery_flag = power.BatteryFlag;
  status.battery_life_percent = power.BatteryLifePercent;
  return true;
}

platform::MutexHandle Win32SystemServices::CreateNamedMutex(const char* name,
                                                            bool& already_existed) {
  HANDLE mutex = CreateMutexA(nullptr, TRUE, name);
  already_existed = GetLastError() == ERROR_ALREADY_EXISTS;
  return reinterpret_cast<platform::MutexHandle>(mutex);
}

void Win32SystemServices::ReleaseNamedMutex(platform::MutexHandle mutex) {
  ReleaseMutex(PointerFrom<HANDLE>(mutex));
}

bool Win32SystemServices::ReadScreenSaverActive(std::uint32_t& active) {
  BOOL state = FALSE;
  if (SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &state, 0) == FALSE) {
    return false;
  }
  active = static_cast<std::uint32_t>(state);
  return true;
}

bool Win32SystemServices::WriteScreenSaverActive(bool active) {
  return SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, active ? TRUE : FALSE, nullptr,
                               SPIF_SENDWININICHANGE) != FALSE;
}

bool Win32SystemServices::CurrentDirectory(std::string& directory, std::uint32_t buffer_size) {
  if (buffer_size == 0) {
    return false;
  }
  std::vector<char> buffer(buffer_size, '\0');
  if (_getcwd(buffer.data(), static_cast<int>(buffer_size)) == nullptr) {
    return false;
  }
  directory = buffer.data();
  return true;
}

std::string Win32SystemServices::ProgramFilePath() {
  std::vector<char> buffer(MAX_PATH, '\0');
  for (;;) {
    const DWORD size = static_cast<DWORD>(buffer.size());
    const DWORD length = GetModuleFileNameA(nullptr, buffer.data(), size);
    if (length == 0) {
      return {};
    }
    // A name that filled the buffer may have been cut short (Windows XP does not even end it).
    if (length < size - 1) {
      return std::string(buffer.data(), length);
    }
    if (size >= kLongestModulePath) {
      return {};
    }
    buffer.assign(static_cast<std::size_t>(size) * 2, '\0');
  }
}

int Win32SystemServices::OpenProcessTokenForPrivileges() {
  CloseProcessToken();
  HANDLE token = nullptr;
  const BOOL opened =
      OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token);
  token_ = opened != FALSE ? token : nullptr;
  return opened;
}

int Win32SystemServices::LookupShutdownPrivilege() {
  LUID luid{};
  const BOOL found = LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &luid);
  privilege_low_ = luid.LowPart;
  privilege_high_ = luid.HighPart;
  return found;
}

int Win32SystemServices::EnableShutdownPrivilege() {
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Luid.LowPart = privilege_low_;
  privileges.Privileges[0].Luid.HighPart = privilege_high_;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  return AdjustTokenPrivileges(token_, FALSE, &privileges, 0, nullptr, nullptr);
}

void Win32SystemServices::CloseProcessToken() {
  if (token_ != nullptr) {
    CloseHandle(token_);
    token_ = nullptr;
  }
}

int Win32SystemServices::ExitWindows(std::uint32_t flags, std::uint32_t reason) {
  return ExitWindowsEx(flags, reason);
}

}  // namespace fwu::win32
