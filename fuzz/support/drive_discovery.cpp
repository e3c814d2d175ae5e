#include "support/drive_discovery.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/drive_search.h"
#include "drive/aspi_transport.h"
#include "drive/drive_transport.h"
#include "drive/pass_through_transport.h"
#include "drive/trace.h"
#include "platform/sim/sim_locale.h"
#include "platform/sim/sim_system_services.h"
#include "support/manual_clock.h"
#include "support/quiet_dialog_host.h"
#include "update/drive_checks.h"
#include "update/firmware_image.h"
#include "update/update_worker.h"

namespace fwu::fuzz {
namespace {

constexpr platform::WindowHandle kDialogWindow = 0x1234;
constexpr std::size_t kEntryPrefixLength = 5;  // "h:t: " or "E:   "
constexpr std::size_t kMinIdentityLength = 16;
constexpr std::size_t kMaxIdentityLength = 28;

// Trace points run their formats over the drive's answers; the text goes nowhere.
class NullTrace final : public TraceSink {
 public:
  void Write(std::string_view text) override { written_ += text.size(); }

 private:
  std::size_t written_ = 0;
};

// The main dialog as the selection-time check sees it.
class DialogView final : public DriveCheckView {
 public:
  explicit DialogView(int selection) : selection_(selection) {}

  int DriveSelection() const override { return selection_; }
  void SetCurrentRevision(std::string_view revision) override {
    Require(revision.size() <= 4, "a current revision longer than its field");
  }
  void SetNewVersion(std::string_view version) override {
    Require(version.size() <= 4, "a new version longer than its field");
  }
  void EnableUpdateStart(bool enabled) override { update_start_ = enabled; }
  void ShowStatus(DriveCheckOutcome outcome) override { status_ = outcome; }
  void Beep() override {}

  bool UpdateStartEnabled() const { return update_start_; }
  std::optional<DriveCheckOutcome> Status() const { return status_; }

 private:
  int selection_;
  bool update_start_ = false;
  std::optional<DriveCheckOutcome> status_;
};

bool IsDigitBelow7(char c) {
  return c >= '0' && c <= '6';
}

void RequireWellFormedEntry(const std::string& entry, bool pass_through) {
  Require(entry.size() >= kEntryPrefixLength + kMinIdentityLength &&
              entry.size() <= kEntryPrefixLength + kMaxIdentityLength,
          "a drive-list entry whose identity text is not 16 to 28 characters");
  if (pass_through) {
    Require(entry[0] >= 'A' && entry[0] <= 'Z' && entry.substr(1, 4) == ":   ",
            "a pass-through entry that does not begin with its drive letter");
  } else {
    Require(IsDigitBelow7(entry[0]) && entry[1] == ':' && IsDigitBelow7(entry[2]) &&
                entry.substr(3, 2) == ": ",
            "an ASPI entry that does not begin with its adapter and target");
  }
}

std::uint8_t EnumerateChecked(DriveTransport& transport, bool pass_through) {
  const std::uint8_t count = transport.Enumerate();
  Require(count <= (pass_through ? PassThroughTransport::kScratchSlot : AspiTransport::kMaxEntries),
          "more drives listed than the list holds");
  for (std::uint8_t i = 0; i < count; ++i) {
    RequireWellFormedEntry(transport.GetEntry(i), pass_through);
  }
  return count;
}

}  // namespace

void RunDriveDiscovery(Tape& tape, const DriveScenario* scenario) {
  const bool recording = scenario != nullptr;
  ManualClock clock;
  QuietDialogHost dialogs;
  sim::SimSystemServices system;
  const bool nt_family = tape.Flag(recording && scenario->nt_family);
  system.version.platform_id =
      nt_family ? platform::kPlatformWindowsNt : platform::kPlatformWindows9x;
  system.version_query_fails = tape.Flag(false);
  const bool japanese = tape.Flag(recording && scenario->code_page == 932);
  const sim::SimLocale locale(japanese ? 932 : 1252);

  ScriptedAspiLibrary aspi(tape, clock, recording ? &scenario->aspi : nullptr);
  ScriptedPassThroughDriver driver(tape, recording ? &scenario->pass_through : nullptr);
  AspiTransport aspi_transport(aspi, system, dialogs, locale, clock);
  PassThroughTransport pass_through_transport(driver, locale);
  NullTrace trace;
  if (tape.Flag(false)) {
    aspi_transport.SetTraceSink(&trace);
    pass_through_transport.SetTraceSink(&trace);
  }
  DriveTransport transport(aspi_transport, pass_through_transport);
  transport.SetTransportMode(nt_family ? DriveTransport::kModePassThrough
                                       : DriveTransport::kModeAspi);
  const std::span<const FirmwareImage> images = ImageList();

  // Start-up: the search enumerates and examines every drive of the vendor.
  static_cast<void>(DriveSearch(transport, images));

  // The main dialog lists the drives again and checks the one the user picks.
  const std::uint8_t count = EnumerateChecked(transport, nt_family);
  const int planned_selection = recording ? scenario->selection + 1 : 0;
  const int selection = static_cast<int>(tape.Choice(std::size_t{count} + 1,
                                                     static_cast<std::size_t>(planned_selection))) -
                        1;
  DialogView view(selection);
  const DriveCheckOutcome outcome = CheckDrive(transport, images, view);
  Require(view.Status() == outcome, "the status line does not show the check's outcome");
  Require(view.UpdateStartEnabled() == (outcome == DriveCheckOutcome::kUpdateAllowed),
          "Update Start enabled for a drive the check did not allow");
  if (selection < 0) {
    return;
  }
  std::uint8_t asc = 0;
  std::uint8_t ascq = 0;
  transport.GetLastAscAscq(asc, ascq);

  // Update Start: the start-time check on the drive still selected.
  const StartCheckResult start =
      CheckBeforeStart(transport, images, dialogs, kDialogWindow,
                       japanese ? MessageLanguage::kJapanese : MessageLanguage::kEnglish);
  Require(start.kind != StartCheckResult::Kind::kReady || start.image_index < images.size(),
          "the start-time check named an image the list does not have");
  if (start.kind == StartCheckResult::Kind::kTransportError) {
    static_cast<void>(transport.GetErrorText());
  }

  // The update worker on the drive, when the user goes ahead; it reads the drive's statuses.
  if (start.kind == StartCheckResult::Kind::kReady && tape.Flag(recording && scenario->download)) {
    const WorkerParams params{static_cast<std::uint8_t>(selection), &transport};
    const std::uint32_t exit_code = UpdateWorker(params, images[start.image_index], clock);
    Require(exit_code == kWorkerSucceeded || exit_code == kWorkerFailed,
            "the update worker ended with a code the dialog does not know");
  }

  // What the transports offer and nothing calls yet: they must cope with any answer too.
  if (tape.Flag(false)) {
    std::uint8_t host_status = 0;
    std::uint8_t target_status = 0;
    static_cast<void>(aspi_transport.ResetDevice(host_status, target_status));
    static_cast<void>(aspi_transport.AbortRequest());
    static_cast<void>(aspi_transport.CompleteAbort());
    static_cast<void>(transport.TestUnitReady());
    // A buffer of any size, even one beyond the staging area, for whatever the CDB moves.
    std::vector<std::uint8_t> data(tape.U16(0));
    transport.SetDataBuffer(data.data(), static_cast<std::uint32_t>(data.size()));
    std::array<std::uint8_t, kMaxCdbLength> cdb{};
    cdb[0] = tape.Byte(0);
    static_cast<void>(transport.ExecuteCdb10(cdb.data(), 0));
    static_cast<void>(transport.ExecuteCdb12(cdb.data(), tape.Byte(0)));
  }
}

}  // namespace fwu::fuzz
