#include "app/application.h"

#include "app/application_name.h"
#include "app/leftover_changes.h"
#include "app/resume_state.h"
#include "app/run_paths.h"
#include "app/screen_saver_suspension.h"
#include "resources/drive_messages.h"
#include "resources/message_language.h"
#include "resources/startup_texts.h"
#include "sysconfig/change_store.h"
#include "sysconfig/system_context.h"

namespace fwu {

namespace {

constexpr std::uint8_t kAcOnline = 1;
// NT versions before 5.0 (NT 4) have no power management to ask.
constexpr std::uint32_t kFirstNtWithPowerStatus = 5;

}  // namespace

Application::Application(platform::Platform& platform, DriveTransport& transport,
                         std::span<const FirmwareImage> images)
    : platform_(platform),
      transport_(transport),
      images_(images),
      program_file_path_(platform.system.ProgramFilePath()),
      application_name_(ApplicationNameOf(program_file_path_)) {}

void Application::ShowMessage(const TextPair& message) {
  platform_.dialogs.ShowMessageBox(0, message.In(MessageLanguageOf(codePage)),
                                   texts::kMessageBoxCaption, platform::kMbOk);
}

RunOutcome Application::Refuse(const TextPair& message) {
  ShowMessage(message);
  return RunOutcome::kRefused;
}

bool Application::StartupSequence() {
  outcome_ = Settle();
  return false;
}

RunOutcome Application::Settle() {
  // The dialog framework's own set-up (control hosting, the 3-D look) is the Windows host's
  // business; nothing here depends on it.
  codePage = platform_.locale.MultibyteCodePage();

  platform::OsVersion version;
  if (!platform_.system.QueryVersion(version)) {
    return Refuse(texts::kVersionUnavailable);
  }
  if (version.platform_id == platform::kPlatformWindows9x) {
    isNt = 0;
  } else if (version.platform_id == platform::kPlatformWindowsNt) {
    isNt = 1;
  } else {
    return Refuse(texts::kUnknownOperatingSystem);
  }
  // The program's file names its store and its Run entry. A start that could not learn it
  // would record its changes under a name that the next start does not look for, and these
  // would never come back.
  if (program_file_path_.empty()) {
    return Refuse(texts::kVersionUnavailable);
  }
  transport_.SetTransportMode(isNt);
  const bool nt5_or_later = isNt == 1 && version.major >= kFirstNtWithPowerStatus;

  if (isNt == 0 || nt5_or_later) {
    platform::PowerStatus power;
    if (!platform_.system.QueryPowerStatus(power)) {
      return Refuse(texts::kPowerStatusUnavailable);
    }
    // Offline (0) and unknown (255) alike: a download must not meet an empty battery.
    if (power.ac_line_status != kAcOnline) {
      return Refuse(texts::kConnectAcAdapter);
    }
  }

  bool already_existed = false;
  instanceMutex = platform_.system.CreateNamedMutex(
      nt5_or_later ? kGlobalInstanceMutexName : kInstanceMutexName, already_existed);
  if (instanceMutex == 0 || already_existed) {
    return RunOutcome::kSecondCopy;
  }

  const SystemContext context{platform_.registry, platform_.system, platform_.clock, isNt == 1,
                              application_name_};
  // The store of change records, and its counter, for this run.
  ChangeStore store(context);
  if (!CheckPendingRestart(context, store)) {
    return Refuse(texts::kDifferentUser);
  }

  ScreenSaverSuspension screen_saver(platform_.system, screenSaverActive);
  search_ = DriveSearch(transport_, images_);
  if (!search_->updateNeeded) {
    if (search_->upToDateSeen) {
      RestoreLeftoverChanges(context, store);
      ShowMessage(texts::kFirmwareUpToDate);
    } else {
      ShowMessage(texts::kDriveNotFound);
    }
    return RunOutcome::kNothingToDo;
  }
  RunPaths paths(platform_, context, store, transport_, images_, MessageLanguageOf(codePage),
                 screen_saver);
  return paths.Run();
}

int Application::ExitStep() {
  if (instanceMutex != 0) {
    platform_.system.ReleaseNamedMutex(instanceMutex);
  }
  return 0;
}

}  // namespace fwu
