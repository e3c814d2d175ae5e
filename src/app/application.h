#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "app/drive_search.h"
#include "app/run_outcome.h"
#include "drive/drive_transport.h"
#include "platform/platform.h"
#include "platform/system_services.h"
#include "resources/text_pair.h"
#include "update/firmware_image.h"

namespace fwu {

// Names of the single-instance mutex: one copy across all logon sessions on NT 5.0 and later,
// one per machine (9x) or session (NT 4) before.
inline constexpr const char* kGlobalInstanceMutexName = "Global\\KALDER";
inline constexpr const char* kInstanceMutexName = "KALDER";

// The application object: the program's state for one run, the start-up sequence that settles
// the run, and the exit step. The DriveTransport is built before it, as the program's other
// static object, and outlives it.
class Application {
 public:
  Application(platform::Platform& platform, DriveTransport& transport,
              std::span<const FirmwareImage> images);
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // Checks the system, the power and the user, searches the drives, and hands a drive that
  // needs the update to the run paths. Returns false on every path: the program is to end.
  bool StartupSequence();
  // Lets go of the single-instance mutex; the process's end closes it. Returns the exit code.
  int ExitStep();

  // What the run came to, once StartupSequence has returned.
  RunOutcome Outcome() const { return outcome_; }
  // What the drive search found; empty when the run ended before it.
  const std::optional<DriveSearchResult>& Search() const { return search_; }
  const std::string& ApplicationName() const { return application_name_; }

  // 1 on the NT family, 0 on Windows 9x.
  std::uint8_t isNt = 0;
  platform::MutexHandle instanceMutex = 0;
  // The screen-saver state read at start; only 1 counts as active.
  std::uint32_t screenSaverActive = 0;
  // The runtime's multibyte code page; 932 selects Japanese.
  std::int32_t codePage = 0;

 private:
  RunOutcome Refuse(const TextPair& message);
  RunOutcome Settle();
  void ShowMessage(const TextPair& message);

  platform::Platform& platform_;
  DriveTransport& transport_;
  std::span<const FirmwareImage> images_;
  std::string program_file_path_;  // empty when it could not be had
  std::string application_name_;
  RunOutcome outcome_ = RunOutcome::kRefused;
  std::optional<DriveSearchResult> search_;
};

}  // namespace fwu
