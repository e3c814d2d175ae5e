#pragma once

#include <cstdint>
#include <string>

#include "platform/system_services.h"

namespace fwu::win32 {

// The kernel, shell and security calls of the start-up sequence, the resume state and the
// restart, on the Windows API.
class Win32SystemServices final : public platform::SystemServices {
 public:
  Win32SystemServices() = default;
  ~Win32SystemServices() override;
  Win32SystemServices(const Win32SystemServices&) = delete;
  Win32SystemServices& operator=(const Win32SystemServices&) = delete;

  bool QueryVersion(platform::OsVersion& version) override;
  bool QueryPowerStatus(platform::PowerStatus& status) override;
  platform::MutexHandle CreateNamedMutex(const char* name, bool& already_existed) override;
  void ReleaseNamedMutex(platform::MutexHandle mutex) override;
  bool ReadScreenSaverActive(std::uint32_t& active) override;
  bool WriteScreenSaverActive(bool active) override;
  bool CurrentDirectory(std::string& directory, std::uint32_t buffer_size) override;
  std::string ProgramFilePath() override;
  int OpenProcessTokenForPrivileges() override;
  int LookupShutdownPrivilege() override;
  int EnableShutdownPrivilege() override;
  void CloseProcessToken() override;
  int ExitWindows(std::uint32_t flags, std::uint32_t reason) override;

 private:
  void* token_ = nullptr;
  // The locally unique identifier of the shutdown privilege, as LookupPrivilegeValueA gave it.
  std::uint32_t privilege_low_ = 0;
  std::int32_t privilege_high_ = 0;
};

}  // namespace fwu::win32
