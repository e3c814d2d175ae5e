#pragma once

#include <cstdint>
#include <string>

namespace fwu::platform {

inline constexpr std::uint32_t kPlatformWin32s = 0;
inline constexpr std::uint32_t kPlatformWindows9x = 1;  // VER_PLATFORM_WIN32_WINDOWS
inline constexpr std::uint32_t kPlatformWindowsNt = 2;  // VER_PLATFORM_WIN32_NT

// What GetVersionExA reports.
struct OsVersion {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  std::uint32_t build = 0;
  std::uint32_t platform_id = 0;
  std::string service_pack;
};

// What GetSystemPowerStatus reports; only the mains line matters to the program.
struct PowerStatus {
  std::uint8_t ac_line_status = 1;  // 0 offline, 1 online, 255 unknown
  std::uint8_t battery_flag = 0;
  std::uint8_t battery_life_percent = 255;
};

using MutexHandle = std::uintptr_t;  // 0 when no mutex could be created

// The kernel and shell services the start-up sequence, the resume state and the restart need.
class SystemServices {
 public:
  virtual ~SystemServices() = default;

  virtual bool QueryVersion(OsVersion& version) = 0;
  virtual bool QueryPowerStatus(PowerStatus& status) = 0;

  // Creates (initially owned) or opens a named mutex; already_existed reports ERROR_ALREADY_EXISTS.
  virtual MutexHandle CreateNamedMutex(const char* name, bool& already_existed) = 0;
  virtual void ReleaseNamedMutex(MutexHandle mutex) = 0;

  // SPI_GETSCREENSAVEACTIVE and SPI_SETSCREENSAVEACTIVE (with SPIF_SENDWININICHANGE).
  virtual bool ReadScreenSaverActive(std::uint32_t& active) = 0;
  virtual bool WriteScreenSaverActive(bool active) = 0;

  // The runtime's current directory, as read into a buffer of buffer_size bytes (_getcwd): fails
  // when it cannot be read or does not fit with its terminating zero.
  virtual bool CurrentDirectory(std::string& directory, std::uint32_t buffer_size) = 0;

  // Full path of the running program file (the module file name); empty when it cannot be had.
  virtual std::string ProgramFilePath() = 0;

  // The restart of Windows: the shutdown privilege (NT family only) and the request itself.
  // Each returns the Windows call's own result (nonzero is success). The token that
  // OpenProcessTokenForPrivileges opens (OpenProcessToken with TOKEN_ADJUST_PRIVILEGES |
  // TOKEN_QUERY) is the one the next two calls use (LookupPrivilegeValueA of
  // "SeShutdownPrivilege", AdjustTokenPrivileges enabling it); CloseProcessToken closes it and
  // does nothing when none is open.
  virtual int OpenProcessTokenForPrivileges() = 0;
  virtual int LookupShutdownPrivilege() = 0;
  virtual int EnableShutdownPrivilege() = 0;
  virtual void CloseProcessToken() = 0;
  // ExitWindowsEx.
  virtual int ExitWindows(std::uint32_t flags, std::uint32_t reason) = 0;
};

}  // namespace fwu::platform
