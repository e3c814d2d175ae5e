#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/sim/sim_named_mutexes.h"
#include "platform/sim/system_call_faults.h"
#include "platform/system_services.h"

namespace fwu::sim {

// The kernel and shell of the simulated PC as one program instance (process) sees them. Its
// state is plain fields that a test or the simulated PC sets before a run and reads after it;
// the calls only report and record. The named mutexes belong to the PC: every instance made
// with AnotherProcess shares them.
class SimSystemServices final : public platform::SystemServices {
 public:
  // What the restart of Windows asked for.
  struct ExitRequest {
    std::uint32_t flags = 0;
    std::uint32_t reason = 0;
  };

  // Windows XP Service Pack 2 on mains power unless a test says otherwise.
  platform::OsVersion version{5, 1, 2600, platform::kPlatformWindowsNt, "Service Pack 2"};
  bool version_query_fails = false;
  platform::PowerStatus power;
  bool power_query_fails = false;
  std::shared_ptr<SimNamedMutexes> named_mutexes = std::make_shared<SimNamedMutexes>();
  int process_id = 1;
  std::vector<std::string> mutexes_created;  // names, in call order
  bool mutex_creation_fails = false;

  // SPI_GETSCREENSAVEACTIVE reports this; SPI_SETSCREENSAVEACTIVE changes it, and each change
  // is kept in order.
  std::uint32_t screen_saver_active = 0;
  std::uint32_t screen_saver_reads = 0;
  std::vector<bool> screen_saver_writes;

  // nullopt: the current directory cannot be read.
  std::optional<std::string> current_directory = "C:\\Program Files\\Quentar";
  std::string program_file_path = "C:\\Program Files\\Quentar\\XTM7731UP.exe";

  // Results of the restart calls, and what happened.
  int open_token_result = 1;
  int lookup_privilege_result = 1;
  int enable_privilege_result = 1;
  int exit_windows_result = 1;
  std::vector<std::string> privilege_calls;  // in call order
  bool token_open = false;
  std::optional<ExitRequest> exit_request;

  // The PC's faults, which every call consults first; none when null.
  SystemCallFaults* faults = nullptr;

  // A second program instance on the same PC: the same system, its own process, the PC's
  // named mutexes; nothing recorded yet.
  SimSystemServices AnotherProcess() const;
  // The end of the instance's process: its mutex handles close.
  void EndProcess();

  bool QueryVersion(platform::OsVersion& out) override;
  bool QueryPowerStatus(platform::PowerStatus& out) override;
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
  bool Fails(SystemCall call) { return faults != nullptr && faults->Fails(call); }
};

}  // namespace fwu::sim
