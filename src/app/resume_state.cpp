#include "app/resume_state.h"

#include "sysconfig/registry_key.h"

namespace fwu {
namespace {

constexpr std::string_view kMachineSoftwareKey = "Software";

std::string RunEntryText(const std::string& program_file_path) {
  if (program_file_path.find(' ') == std::string::npos) {
    return program_file_path;
  }
  return '"' + program_file_path + '"';
}

void RemovePendingRestartMarker(const SystemContext& context) {
  RegistryKey software(context.registry);
  if (software.Open(platform::kHkeyLocalMachine, kMachineSoftwareKey, platform::kKeyAllAccess) ==
      platform::kErrorSuccess) {
    DeleteKeyWithSubkeys(software, kPendingRestartMarkerName, context.is_nt);
  }
}

}  // namespace

bool CheckPendingRestart(const SystemContext& context, const ChangeStore& store) {
  {
    RegistryKey marker(context.registry);
    if (marker.Open(platform::kHkeyLocalMachine, kPendingRestartMarkerPath,
                    platform::kKeyAllAccess) != platform::kErrorSuccess) {
      return true;
    }
  }
  if (!store.Exists()) {
    return false;
  }
  RemovePendingRestartMarker(context);
  return true;
}

RunEntryProbe ProbeRunEntry(const SystemContext& context) {
  RunEntryProbe probe;
  const std::string program_file_path = context.system.ProgramFilePath();
  // Without the program's path no entry can be written, but the one that started this run is
  // still found, and goes.
  probe.run_entry_unavailable = program_file_path.empty();
  if (!program_file_path.empty()) {
    probe.program_path = RunEntryText(program_file_path);
  }
  RegistryKey run(context.registry);
  if (run.Create(platform::kHkeyCurrentUser, kRunKeyPath) != platform::kErrorSuccess) {
    probe.run_entry_unavailable = true;
    return probe;
  }
  // Presence alone counts, so a text of any length is found and deleted.
  RegistryValue entry;
  if (run.ReadValue(entry, context.application_name) == platform::kErrorSuccess) {
    probe.resumed = true;
    run.DeleteValue(context.application_name);
    context.Yield();
  }
  return probe;
}

void WriteRunEntry(const SystemContext& context, std::string_view program_path) {
  RegistryKey run(context.registry);
  if (program_path.empty() || run.Open(platform::kHkeyCurrentUser, kRunKeyPath,
                                       platform::kKeyAllAccess) != platform::kErrorSuccess) {
    return;
  }
  run.WriteText(program_path, context.application_name);
  run.Close();
  context.Yield();
}

void MarkPendingRestart(const SystemContext& context) {
  RegistryKey marker(context.registry);
  marker.Create(platform::kHkeyLocalMachine, kPendingRestartMarkerPath);
}

void ForgetPendingRun(const SystemContext& context) {
  RemovePendingRestartMarker(context);
  RegistryKey run(context.registry);
  if (run.Open(platform::kHkeyCurrentUser, kRunKeyPath, platform::kKeyAllAccess) ==
      platform::kErrorSuccess) {
    run.DeleteValue(context.application_name);
  }
}

}  // namespace fwu
