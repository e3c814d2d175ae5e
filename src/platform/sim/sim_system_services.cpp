#include "platform/sim/sim_system_services.h"

namespace fwu::sim {

bool SimSystemServices::QueryVersion(platform::OsVersion& out) {
  if (version_query_fails || Fails(SystemCall::kVersion)) {
    return false;
  }
  out = version;
  return true;
}

bool SimSystemServices::QueryPowerStatus(platform::PowerStatus& out) {
  if (power_query_fails || Fails(SystemCall::kPowerStatus)) {
    return false;
  }
  out = power;
  return true;
}

SimSystemServices SimSystemServices::AnotherProcess() const {
  SimSystemServices other = *this;
  other.process_id = process_id + 1;
  other.mutexes_created.clear();
  other.screen_saver_reads = 0;
  other.screen_saver_writes.clear();
  other.privilege_calls.clear();
  other.token_open = false;
  other.exit_request.reset();
  return other;
}

void SimSystemServices::EndProcess() {
  named_mutexes->EndProcess(process_id);
}

platform::MutexHandle SimSystemServices::CreateNamedMutex(const char* name, bool& already_existed) {
  mutexes_created.emplace_back(name);
  already_existed = false;
  if (mutex_creation_fails || Fails(SystemCall::kMutex)) {
    return 0;
  }
  const SimNamedMutexes::Opened opened = named_mutexes->Create(name, process_id);
  already_existed = opened.already_existed;
  return opened.handle;
}

void SimSystemServices::ReleaseNamedMutex(platform::MutexHandle mutex) {
  named_mutexes->Release(mutex, process_id);
}

bool SimSystemServices::ReadScreenSaverActive(std::uint32_t& active) {
  ++screen_saver_reads;
  if (Fails(SystemCall::kScreenSaver)) {
    return false;
  }
  active = screen_saver_active;
  return true;
}

bool SimSystemServices::WriteScreenSaverActive(bool active) {
  if (Fails(SystemCall::kScreenSaver)) {
    return false;
  }
  screen_saver_writes.push_back(active);
  screen_saver_active = active ? 1 : 0;
  return true;
}

bool SimSystemServices::CurrentDirectory(std::string& directory, std::uint32_t buffer_size) {
  if (!current_directory || current_directory->size() + 1 > buffer_size ||
      Fails(SystemCall::kCurrentDirectory)) {
    return false;
  }
  directory = *current_directory;
  return true;
}

std::string SimSystemServices::ProgramFilePath() {
  return Fails(SystemCall::kProgramPath) ? std::string() : program_file_path;
}

int SimSystemServices::OpenProcessTokenForPrivileges() {
  privilege_calls.emplace_back("OpenProcessToken");
  const int result = Fails(SystemCall::kPrivilege) ? 0 : open_token_result;
  token_open = result != 0;
  return result;
}

int SimSystemServices::LookupShutdownPrivilege() {
  privilege_calls.emplace_back("LookupPrivilegeValue");
  return Fails(SystemCall::kPrivilege) ? 0 : lookup_privilege_result;
}

int SimSystemServices::EnableShutdownPrivilege() {
  privilege_calls.emplace_back("AdjustTokenPrivileges");
  return token_open && !Fails(SystemCall::kPrivilege) ? enable_privilege_result : 0;
}

void SimSystemServices::CloseProcessToken() {
  if (token_open) {
    privilege_calls.emplace_back("CloseHandle");
  }
  token_open = false;
}

int SimSystemServices::ExitWindows(std::uint32_t flags, std::uint32_t reason) {
  if (Fails(SystemCall::kExitWindows)) {
    return 0;
  }
  if (exit_windows_result != 0) {
    exit_request = ExitRequest{flags, reason};
  }
  return exit_windows_result;
}

}  // namespace fwu::sim
