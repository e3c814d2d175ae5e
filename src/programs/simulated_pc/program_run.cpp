#include "programs/simulated_pc/program_run.h"

#include <string>
#include <string_view>
#include <vector>

#include "app/application_name.h"
#include "app/program.h"
#include "app/resume_state.h"
#include "update/image_codec.h"

namespace fwu::sim {
namespace {

constexpr std::string_view kCarriedRevision = "1033";
constexpr std::int8_t kCarriedBuild = 32;

std::string Unquoted(std::string text) {
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
    return text.substr(1, text.size() - 2);
  }
  return text;
}

}  // namespace

KnownFirmware CarriedFirmware() {
  std::vector<std::uint8_t> plain(kImageBytes);
  Descramble(ImageList().front().stored,
             std::span<std::uint8_t, kImageBytes>(plain.data(), kImageBytes),
             BuildScramblingTable());
  return KnownFirmware{std::move(plain), {std::string(kCarriedRevision), kCarriedBuild}};
}

ProgramRun RunProgram(SimulatedPc& pc, platform::DialogHost& dialogs, TraceSink* trace,
                      std::span<const FirmwareImage> images) {
  ProgramRun run;
  pc.StartProcess();
  {
    platform::Platform platform = pc.PlatformFor(dialogs);
    Program program(platform, images);
    program.SetTraceSink(trace);
    run.exit_code = program.Run();
    run.outcome = program.App().Outcome();
    run.search = program.App().Search();
    // The process ends: its threads with it, and its handles.
    pc.FinishThreads();
  }
  pc.system.EndProcess();
  run.restart_requested = pc.system.exit_request.has_value();
  return run;
}

bool RunEntryStartsProgram(const SimulatedPc& pc) {
  const std::optional<StoredValue> entry = pc.registry.Value(
      platform::kHkeyCurrentUser, kRunKeyPath, ApplicationNameOf(pc.system.program_file_path));
  if (!entry || (entry->type != platform::kRegSz && entry->type != platform::kRegExpandSz)) {
    return false;
  }
  std::string text(entry->data.begin(), entry->data.end());
  text = text.substr(0, text.find('\0'));
  return Unquoted(text) == pc.system.program_file_path;
}

}  // namespace fwu::sim
