#include "programs/linux/updater.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "dialogs/agreement_dialog.h"
#include "drive/identity.h"
#include "platform/posix/user_locale.h"
#include "programs/linux/download_progress.h"
#include "programs/linux/exit_codes.h"
#include "programs/linux/help_text.h"
#include "resources/agreement_texts.h"
#include "resources/startup_texts.h"
#include "resources/update_texts.h"
#include "update/drive_checks.h"
#include "update/update_worker.h"

#ifndef FWU_PROGRAM_VERSION
#define FWU_PROGRAM_VERSION "0"
#endif
#ifndef FWU_IMAGE_IS_DEVELOPMENT
#define FWU_IMAGE_IS_DEVELOPMENT 0
#endif

namespace fwu::linux_program {
namespace {

constexpr std::uint32_t kRedrawPeriodMs = 250;
constexpr int kReadBackAttempts = 5;
constexpr std::uint32_t kReadBackPauseMs = 2000;
constexpr std::size_t kInquiryBytes = 256;
constexpr std::string_view kInhibitReason =
    "Firmware update of a DVD-ROM XT-M7731: an interruption can leave the drive unusable";

// Texts made for Windows end their lines in CR LF, and some error texts end in a line break.
std::string WithoutCarriageReturns(std::string text) {
  std::erase(text, '\r');
  while (!text.empty() && text.back() == '\n') {
    text.pop_back();
  }
  return text;
}

std::string Lowered(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  const auto begin = text.find_first_not_of(" \t");
  const auto end = text.find_last_not_of(" \t\r");
  return begin == std::string::npos ? std::string() : text.substr(begin, end - begin + 1);
}

std::string ImageFirmware(const FirmwareImage& image) {
  return std::string(image.version) + " build " + std::to_string(image.build);
}

// What the worker was doing when it stopped, for the message after a failed download.
std::string StepWords(WorkerStep step, std::uint32_t block, std::uint32_t block_count) {
  switch (step) {
    case WorkerStep::kFirstControlStep:
    case WorkerStep::kBetweenControlSteps:
      return "the first download step";
    case WorkerStep::kSecondControlStep:
      return "the second download step";
    case WorkerStep::kSendingBlock:
      return "data block " + std::to_string(block) + " of " + std::to_string(block_count);
    case WorkerStep::kClosingStep:
    case WorkerStep::kAfterClosingStep:
      return "the closing step";
    case WorkerStep::kEjecting:
    case WorkerStep::kSettling:
      break;
  }
  return "the download";
}

// Signals stay deferred from the reservation of the drive until everything is given back.
class DeferredInterruptions {
 public:
  explicit DeferredInterruptions(posix::Interruptions& interruptions)
      : interruptions_(interruptions) {
    interruptions_.Defer();
  }
  ~DeferredInterruptions() { interruptions_.Resume(); }
  DeferredInterruptions(const DeferredInterruptions&) = delete;
  DeferredInterruptions& operator=(const DeferredInterruptions&) = delete;

 private:
  posix::Interruptions& interruptions_;
};

}  // namespace

Updater::Updater(Environment& environment, std::span<const FirmwareImage> images)
    : environment_(environment),
      terminal_(environment.terminal),
      images_(images),
      language_(CurrentMessageLanguage(environment.locale)),
      nodes_(environment.drives, environment.locale),
      transport_(nodes_) {
  transport_.SetTransportMode(DriveTransport::kModePassThrough);
}

int Updater::Run(std::span<const std::string> arguments) {
  const ParsedCommandLine parsed = ParseCommandLine(arguments);
  if (!parsed.options) {
    terminal_.err << kProgramName << ": " << parsed.error << "\nTry '" << kProgramName
                  << " --help' for more information.\n";
    return exit_code::kFailed;
  }
  const Options& options = *parsed.options;
  switch (options.mode) {
    case Options::Mode::kHelp:
      terminal_.out << kHelpText;
      return exit_code::kUpdated;
    case Options::Mode::kVersion:
      terminal_.out << kProgramName << " " << FWU_PROGRAM_VERSION << "\nFirmware "
                    << ImageFirmware(images_.front()) << " for the " << kTargetVendor
                    << kTargetProduct << " (drive code " << images_.front().drive_code << ").\n";
      if (FWU_IMAGE_IS_DEVELOPMENT != 0) {
        terminal_.out << "This build carries the development image, not the drive's firmware.\n";
      }
      return exit_code::kUpdated;
    case Options::Mode::kList:
    case Options::Mode::kUpdate:
      break;
  }
  // Even a list sends commands, which a drive in the middle of a download must not get.
  const posix::Reservation instance = environment_.safety.ReserveInstance();
  for (const std::string& note : instance.notes) {
    Tell("note: " + note);
  }
  if (!instance.hold) {
    return Refuse(instance.refusal);
  }
  return options.mode == Options::Mode::kList ? List(options) : Update(options);
}

int Updater::List(const Options& options) {
  if (options.device) {
    nodes_.ProbeOnly({*options.device});
  }
  const std::vector<ListedDrive> drives = ExamineDrives(nodes_, transport_, images_);
  if (options.json) {
    PrintJson(terminal_.out, drives, images_.front());
  } else {
    PrintTable(terminal_.out, drives, images_.front());
  }
  if (options.device && drives.empty()) {
    TellWhyNothingAnswers(*options.device);
  }
  const bool unanswered = std::any_of(drives.begin(), drives.end(), [](const ListedDrive& d) {
    return d.examined && d.examination.finding == DriveFinding::kNoAnswer;
  });
  if (unanswered && !environment_.safety.RunsAsRoot()) {
    Tell("note: not running as root: the kernel lets only root send the identification query");
  }
  return exit_code::kUpdated;
}

int Updater::Update(const Options& options) {
  if (!environment_.safety.RunsAsRoot()) {
    return Refuse(
        "root is needed to update the firmware: run it as root, for example with sudo "
        "(--list works without)");
  }
  if (environment_.safety.RunsOnBatteryAlone()) {
    return Refuse(InLanguage(texts::kConnectAcAdapter));
  }
  if (options.device) {
    nodes_.ProbeOnly({*options.device});
  }
  const std::vector<ListedDrive> drives = ExamineDrives(nodes_, transport_, images_);
  terminal_.out << kProgramName << " " << FWU_PROGRAM_VERSION << " carries firmware "
                << ImageFirmware(images_.front()) << " for the " << kTargetProduct << ".\n";
  for (const ListedDrive& drive : drives) {
    terminal_.out << drive.path << ": " << drive.vendor << " " << drive.product << ", firmware "
                  << FirmwareOf(drive) << ": " << StatusWords(drive)
                  << (drive.error_text.empty() ? "" : " (" + drive.error_text + ")") << "\n";
  }

  std::vector<ListedDrive> candidates;
  std::copy_if(drives.begin(), drives.end(), std::back_inserter(candidates), NeedsUpdate);
  if (candidates.empty()) {
    const bool up_to_date = std::any_of(drives.begin(), drives.end(), [](const ListedDrive& d) {
      return d.examined && d.examination.finding == DriveFinding::kUpToDate;
    });
    if (up_to_date) {
      terminal_.out << InLanguage(texts::kFirmwareUpToDate) << "\n";
      return exit_code::kNothingToDo;
    }
    if (options.device && drives.empty()) {
      TellWhyNothingAnswers(*options.device);
    }
    return Refuse(InLanguage(texts::kDriveNotFound));
  }

  if (!options.dry_run && !options.yes && !AcceptTerms()) {
    return Refuse("the terms were not accepted; nothing was changed");
  }
  const std::optional<ListedDrive> chosen = ChooseDrive(candidates, options);
  if (!chosen) {
    return exit_code::kFailed;
  }
  if (!options.dry_run && !options.yes &&
      !Ask("Update " + chosen->path + " from " + FirmwareOf(*chosen) + " to " +
           ImageFirmware(images_[*chosen->examination.image]) + " now? [y/N]")) {
    return Refuse("the update was not confirmed; nothing was changed");
  }
  const DeferredInterruptions deferred(environment_.interruptions);
  return UpdateReserved(options, *chosen);
}

int Updater::UpdateReserved(const Options& options, const ListedDrive& drive) {
  const posix::Reservation reservation = environment_.safety.Reserve(
      drive.path, options.dry_run ? posix::ReserveFor::kCheck : posix::ReserveFor::kUpdate);
  for (const std::string& note : reservation.notes) {
    Tell("note: " + note);
  }
  if (!reservation.hold) {
    return Refuse(reservation.refusal);
  }
  const posix::Inhibition inhibition =
      environment_.safety.InhibitShutdown(std::string(kProgramName), std::string(kInhibitReason));
  if (!inhibition.hold) {
    Tell("warning: " + inhibition.warning);
  }
  if (const std::optional<std::string> signal = environment_.interruptions.Wait(0)) {
    return Refuse(*signal + " before the download began; nothing was changed");
  }

  transport_.Select(drive.index);
  const StartCheckResult check = EvaluateBeforeStart(transport_, images_);
  switch (check.kind) {
    case StartCheckResult::Kind::kTransportError:
      Tell(InLanguage(texts::kErrorPrefix) + WithoutCarriageReturns(transport_.GetErrorText()));
      return Refuse(InLanguage(texts::kUpdateFailedMessage));
    case StartCheckResult::Kind::kRefused:
      return Refuse(InLanguage(*check.refusal));
    case StartCheckResult::Kind::kReady:
      break;
  }
  const FirmwareImage& image = images_[check.image_index];
  if (options.dry_run) {
    terminal_.out << "dry run: " << drive.path << " would be updated from " << FirmwareOf(drive)
                  << " to " << ImageFirmware(image)
                  << "; no command that changes the drive was sent.\n";
    return exit_code::kUpdated;
  }
  // A signal that came during the checks still ends the run cleanly.
  if (const std::optional<std::string> signal = environment_.interruptions.Wait(0)) {
    return Refuse(*signal + " before the download began; nothing was changed");
  }
  const int downloaded = Download(drive, image);
  return downloaded == exit_code::kUpdated ? Verify(drive, image) : downloaded;
}

int Updater::Download(const ListedDrive& drive, const FirmwareImage& image) {
  terminal_.out << "Updating " << drive.path
                << ". Do not switch the computer off, and do not disconnect or use the drive, "
                   "until the update has ended.\n";
  platform::Threads& threads = environment_.threads;
  DownloadProgress progress(environment_.clock, environment_.wait_divisor, image.block_count);
  const WorkerParams params{drive.index, &transport_, &progress};
  const platform::ThreadHandle worker = threads.CreateSuspended(
      [params, image, &clock = environment_.clock] { return UpdateWorker(params, image, clock); });
  if (worker == 0 || threads.Resume(worker) == platform::kResumeFailed) {
    if (worker != 0) {
      threads.CloseThread(worker);
    }
    return Refuse(InLanguage(texts::kUpdateFailedMessage));
  }

  ProgressDisplay display(terminal_.out, terminal_.out_is_terminal);
  std::uint32_t code = platform::kStillActive;
  while (threads.ExitCode(worker, code) && code == platform::kStillActive) {
    if (const std::optional<std::string> signal =
            environment_.interruptions.Wait(kRedrawPeriodMs)) {
      display.BreakLine();
      Tell(*signal +
           ": the update cannot be interrupted; it goes on until it has "
           "ended");
    }
    display.Show(progress.Now());
  }
  threads.CloseThread(worker);
  display.Finish(code == kWorkerSucceeded);

  if (code == kWorkerSucceeded) {
    terminal_.out << InLanguage(texts::kUpdateComplete) << "\n";
    return exit_code::kUpdated;
  }
  Tell(InLanguage(texts::kUpdateFailedMessage));
  if (!progress.DownloadBegun()) {
    return Refuse(
        "the firmware image this program carries failed its check; nothing was sent to the "
        "drive");
  }
  Tell("the drive refused " +
       StepWords(progress.LastStep(), progress.LastBlock(), image.block_count) + ": " +
       WithoutCarriageReturns(transport_.GetErrorText()));
  Tell(
      "the drive may be left in the middle of a download and may not work until it has been "
      "updated. Keep the computer switched on, do not disconnect the drive, and run " +
      std::string(kProgramName) + " again now: it sends the whole firmware again");
  return exit_code::kMidDownload;
}

int Updater::Verify(const ListedDrive& drive, const FirmwareImage& image) {
  // The drive restarts on its new firmware: it reports a reset (the transport retries the
  // command at once), then its new identity. A drive still starting up, or one its bus has
  // just found again, is given a few more chances before the read-back counts as failed.
  transport_.Select(drive.index);
  std::array<std::uint8_t, kInquiryBytes> buffer{};
  std::string revision;
  std::optional<DriveIdentification> identification;
  for (int attempt = 1;; ++attempt) {
    buffer.fill(0);
    transport_.SetDataBuffer(buffer.data(), kIdentificationInquiryBytes);
    if (transport_.Inquiry(kIdentificationInquiryBytes) == RequestStatus::SS_COMP) {
      revision = RevisionText(buffer);
      identification = QueryIdentification(transport_, buffer);
    }
    if (identification) {
      break;
    }
    if (attempt == kReadBackAttempts) {
      Tell("the drive's new firmware could not be read back: " +
           WithoutCarriageReturns(transport_.GetErrorText()));
      return exit_code::kNotVerified;
    }
    environment_.clock.Sleep(kReadBackPauseMs);
  }
  const std::string now = revision + " build " + std::to_string(identification->build);
  if (revision != image.version || identification->drive_code != image.drive_code ||
      identification->build != image.build) {
    Tell("the drive reports " + now + " after the update, not " + ImageFirmware(image) +
         ": the update did not take");
    return exit_code::kNotVerified;
  }
  terminal_.out << "verified: now " << now << "\n";
  return exit_code::kUpdated;
}

std::optional<ListedDrive> Updater::ChooseDrive(const std::vector<ListedDrive>& candidates,
                                                const Options& options) {
  if (candidates.size() == 1) {
    return candidates.front();
  }
  if (options.yes || options.dry_run) {
    Refuse("several drives need the update: choose one with --device");
    return std::nullopt;
  }
  terminal_.out << "Several drives need the update:\n";
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    terminal_.out << "  " << i + 1 << ") " << candidates[i].path << "  "
                  << FirmwareOf(candidates[i]) << "\n";
  }
  terminal_.out << "Which one? [1-" << candidates.size() << "] " << std::flush;
  std::string answer;
  if (std::getline(terminal_.in, answer)) {
    const std::string number = Lowered(answer);
    for (std::size_t i = 0; i < candidates.size(); ++i) {
      if (number == std::to_string(i + 1)) {
        return candidates[i];
      }
    }
  }
  Refuse("no drive was chosen; nothing was changed");
  return std::nullopt;
}

bool Updater::AcceptTerms() {
  terminal_.out << "\n" << ForTerminal(dialogs::TermsOfUse(language_)) << "\n";
  return Ask("[y = " + InLanguage(texts::kAgreeCaption) +
             " / N = " + InLanguage(texts::kNotAgreeCaption) + "]");
}

bool Updater::Ask(std::string_view prompt) {
  terminal_.out << prompt << " " << std::flush;
  std::string answer;
  if (!std::getline(terminal_.in, answer)) {
    terminal_.out << "\n";
    return false;
  }
  const std::string word = Lowered(answer);
  return word == "y" || word == "yes";
}

void Updater::TellWhyNothingAnswers(const std::string& device) {
  const std::string reason = WithoutCarriageReturns(transport_.GetErrorText());
  Tell("no DVD-ROM XT-M7731 answers at " + device + (reason.empty() ? "" : ": " + reason));
}

int Updater::Refuse(std::string_view reason) {
  Tell(reason);
  return exit_code::kFailed;
}

void Updater::Tell(std::string_view text) {
  terminal_.err << kProgramName << ": " << text << std::endl;
}

std::string Updater::ForTerminal(std::string_view text) const {
  return WithoutCarriageReturns(language_ == MessageLanguage::kJapanese ? posix::Utf8FromCp932(text)
                                                                        : std::string(text));
}

std::string Updater::InLanguage(const TextPair& text) const {
  return ForTerminal(text.In(language_));
}

}  // namespace fwu::linux_program
