#include "update/update_dialog.h"

#include <string>

#include "dialogs/notice_dialog.h"
#include "drive/identity.h"
#include "resources/dialog_ids.h"
#include "resources/format.h"
#include "resources/update_texts.h"
#include "update/about_dialog.h"
#include "update/drive_checks.h"

namespace fwu {

namespace {

constexpr int kProgressLow = 0;
constexpr int kProgressHigh = 100;
constexpr int kProgressAtStart = 2;

}  // namespace

// The dialog as CheckDrive sees it.
class UpdateDialog::CheckView final : public DriveCheckView {
 public:
  CheckView(UpdateDialog& dialog, platform::DialogWindow& window)
      : dialog_(dialog), window_(window) {}

  int DriveSelection() const override { return window_.ListSelection(ids::kDriveList); }
  void SetCurrentRevision(std::string_view revision) override {
    dialog_.current_revision_ = revision;
    window_.SetControlText(ids::kCurrentRevision, revision);
  }
  void SetNewVersion(std::string_view version) override {
    dialog_.new_version_ = version;
    window_.SetControlText(ids::kNewVersion, version);
  }
  void EnableUpdateStart(bool enabled) override {
    window_.EnableControl(ids::kUpdateStart, enabled);
  }
  void ShowStatus(DriveCheckOutcome outcome) override {
    dialog_.ShowStatus(window_, StatusTextOf(outcome).In(dialog_.language_));
  }
  void Beep() override { dialog_.host_.Beep(platform::kBeepSimple); }

 private:
  UpdateDialog& dialog_;
  platform::DialogWindow& window_;
};

UpdateDialog::UpdateDialog(platform::DialogHost& host, platform::Threads& threads,
                           platform::Clock& clock, const platform::Locale& locale,
                           DriveTransport& transport, std::span<const FirmwareImage> images)
    : host_(host),
      clock_(clock),
      transport_(transport),
      images_(images),
      language_(CurrentMessageLanguage(locale)),
      drive_label_(texts::kDriveLabel.In(language_)),
      worker_(threads) {}

int UpdateDialog::TemplateId() const {
  return ids::kUpdateDialog;
}

void UpdateDialog::OnInitDialog(platform::DialogWindow& window) {
  PushValues(window);
  if (!texts::kSystemMenuAbout.empty()) {
    window.AppendSystemMenuEntry(ids::kSystemMenuAbout, texts::kSystemMenuAbout);
  }
  window.SetIcon(ids::kIcon);
  window.SetMenuItemText(ids::kMenuAbout, texts::kAboutMenuItem.In(language_));
  window.SetProgressRange(ids::kProgressBar, kProgressLow, kProgressHigh);
  window.SetProgress(ids::kProgressBar, kProgressLow);
  new_version_.clear();
  window.SetControlText(ids::kNewVersion, new_version_);
  Scan(window);
  window.SetTitle(FormatText(std::string(texts::kUpdateTitleFormat).c_str(),
                             std::string(kTargetProduct).c_str()));
}

void UpdateDialog::OnCommand(platform::DialogWindow& window, int command) {
  switch (command) {
    case ids::kUpdateStart:
      StartUpdate(window);
      break;
    case ids::kCancelButton:
      Cancel(window);
      break;
    case static_cast<int>(ids::kMenuAbout):
      ShowAbout(window);
      break;
    default:
      // Escape and the cancel command never end the main window.
      break;
  }
}

void UpdateDialog::OnSelectionChange(platform::DialogWindow& window, int control) {
  if (control == ids::kDriveList) {
    RunCheckDrive(window);
  }
}

void UpdateDialog::OnTimer(platform::DialogWindow& window, std::uint32_t id) {
  if (id == ids::kProgressTimer) {
    ProgressTick(window);
  } else if (id == kWorkerWaitTimer) {
    WorkerWaitTick(window);
  }
}

void UpdateDialog::OnCloseRequest(platform::DialogWindow& window) {
  // CANCEL has been pressed and runs the close step itself once the worker has ended.
  if (!waiting_for_worker_) {
    CloseStep(window);
  }
}

bool UpdateDialog::OnPaint(platform::DialogWindow& window) {
  if (language_ == MessageLanguage::kJapanese) {
    window.SetControlText(ids::kUpdateStart, texts::kUpdateStartCaption.japanese);
    window.SetControlText(ids::kCancelButton, texts::kCancelCaption.japanese);
  }
  if (window.IsMinimized()) {
    window.DrawIconCentered(ids::kIcon);
    return true;
  }
  return false;
}

bool UpdateDialog::OnSystemCommand(platform::DialogWindow& window, std::uint32_t command) {
  // The entry's own command only: its neighbours up to 0x001F are not the dialog's.
  if (command != ids::kSystemMenuAbout) {
    return false;
  }
  ShowAbout(window);
  return true;
}

bool UpdateDialog::OnSetCursor(platform::DialogWindow& /*window*/) {
  return updating_ || waiting_for_worker_;
}

int UpdateDialog::DragIcon() const {
  return ids::kIcon;
}

void UpdateDialog::Scan(platform::DialogWindow& window) {
  host_.BeginWaitCursor();
  const int remembered = window.ListSelection(ids::kDriveList);
  window.ClearList(ids::kDriveList);
  const std::uint8_t count = transport_.Enumerate();
  for (std::uint8_t i = 0; i < count; ++i) {
    window.AddListEntry(ids::kDriveList, transport_.GetEntry(i).substr(0, kListEntryLength));
  }
  if (count > 0) {
    window.SelectListEntry(ids::kDriveList, remembered >= 0 && remembered < count ? remembered : 0);
  }
  ShowStatus(window, texts::kScanComplete.In(language_));
  RunCheckDrive(window);
  host_.EndWaitCursor();
}

void UpdateDialog::RunCheckDrive(platform::DialogWindow& window) {
  CheckView view(*this, window);
  CheckDrive(transport_, images_, view);
}

void UpdateDialog::CloseStep(platform::DialogWindow& window) {
  restore_result_ = kRestoreNothing;
  // Only a notice that the user has seen and confirmed leads to the restore and the restart.
  if (settings_changed_ != 0 &&
      dialogs::ShowNotice(host_, window.Handle(), dialogs::Notice::kCancel, language_) ==
          dialogs::NoticeDialog::kOk) {
    restore_result_ = kRestoreSettings;
  }
}

void UpdateDialog::Cancel(platform::DialogWindow& window) {
  if (!worker_.StillRunning()) {
    EndAfterCancel(window);
    return;
  }
  // A worker that timed out may still be writing the drive. Restoring the settings and
  // restarting Windows under it could leave the drive without firmware, so the dialog, and
  // with it the shutdown guard, stays until the worker has ended.
  waiting_for_worker_ = true;
  window.EnableControl(ids::kCancelButton, false);
  BeginWait();
  if (window.StartTimer(kWorkerWaitTimer, kWorkerWaitPeriodMs)) {
    return;
  }
  // Without its timer the dialog waits here, handling its messages all the while, so that
  // the shutdown guard still answers.
  const bool ended =
      host_.HandleMessagesUntil([this] { return !worker_.StillRunning(); }, kWorkerWaitPeriodMs);
  FinishWaiting(window, ended);
}

void UpdateDialog::WorkerWaitTick(platform::DialogWindow& window) {
  if (worker_.StillRunning()) {
    return;
  }
  window.StopTimer(kWorkerWaitTimer);
  FinishWaiting(window, true);
}

void UpdateDialog::FinishWaiting(platform::DialogWindow& window, bool worker_ended) {
  waiting_for_worker_ = false;
  EndWait();
  if (!worker_ended) {
    // The wait could not be kept up: CANCEL is offered again.
    window.EnableControl(ids::kCancelButton, true);
    return;
  }
  EndAfterCancel(window);
}

void UpdateDialog::EndAfterCancel(platform::DialogWindow& window) {
  CloseStep(window);
  EndDialog(window, kEndResult);
}

void UpdateDialog::ShowAbout(platform::DialogWindow& window) {
  AboutDialog about;
  host_.RunModal(about, window.Handle());
}

void UpdateDialog::StartUpdate(platform::DialogWindow& window) {
  window.EnableControl(ids::kUpdateStart, false);
  window.EnableControl(ids::kCancelButton, false);
  window.EnableControl(ids::kDriveList, false);
  restore_result_ = kRestoreSettings;
  image_index_ = 0;

  const auto selection = static_cast<std::uint8_t>(window.ListSelection(ids::kDriveList));
  transport_.Select(selection);
  worker_params_ = WorkerParams{selection, &transport_};

  const StartCheckResult check =
      CheckBeforeStart(transport_, images_, host_, window.Handle(), language_);
  switch (check.kind) {
    case StartCheckResult::Kind::kRefused:
      StartFailure(window, false);
      return;
    case StartCheckResult::Kind::kTransportError:
      StartFailure(window, true);
      return;
    case StartCheckResult::Kind::kReady:
      image_index_ = check.image_index;
      break;
  }

  // Its result is no choice, but a notice that could not be shown has warned nobody.
  if (dialogs::ShowNotice(host_, window.Handle(), dialogs::Notice::kStart, language_) !=
      dialogs::NoticeDialog::kOk) {
    StartFailure(window, false);
    return;
  }
  BeginWait();
  window.SetProgress(ids::kProgressBar, kProgressAtStart);
  tick_counter_ = 1;
  if (!LaunchWorker(window)) {
    StartFailure(window, false);
    return;
  }
  updating_ = true;
  ShowStatus(window, texts::kNowUpdating.In(language_));
  // Nothing of the start can fail any more: only now may the worker touch the drive.
  if (!worker_.Go()) {
    StartFailure(window, false);
  }
}

bool UpdateDialog::LaunchWorker(platform::DialogWindow& window) {
  // The worker gets its own copies: it never reads the dialog.
  return worker_.Launch([params = worker_params_, image = images_[image_index_], &clock = clock_] {
    return UpdateWorker(params, image, clock);
  }) && window.StartTimer(ids::kProgressTimer, kProgressPeriodMs);
}

void UpdateDialog::StartFailure(platform::DialogWindow& window, bool with_error_text) {
  // A worker that already runs ends without touching the drive.
  worker_.Withdraw();
  window.StopTimer(ids::kProgressTimer);
  updating_ = false;
  if (with_error_text) {
    ShowMessage(window, std::string(texts::kErrorPrefix.In(language_)) + transport_.GetErrorText());
  }
  window.SetProgress(ids::kProgressBar, kProgressLow);
  ShowStatus(window, texts::kUpdateFailedStatus.In(language_));
  ShowMessage(window, texts::kUpdateFailedMessage.In(language_));
  window.EnableControl(ids::kCancelButton, true);
  ShowValues(window);
  EndWait();
}

void UpdateDialog::ProgressTick(platform::DialogWindow& window) {
  const std::uint32_t exit_code = worker_.PollExitCode();
  if (exit_code == platform::kStillActive) {
    ++tick_counter_;
    if (tick_counter_ < kProgressTicksShown) {
      window.SetProgress(ids::kProgressBar, 2 * tick_counter_);
      ShowValues(window);
    }
    if (tick_counter_ > kTimeoutTicks) {
      // The worker is left to finish: stopping a thread in the middle of a download would be
      // worse than waiting for it, which CANCEL does.
      ReportFailure(window);
    }
    return;
  }
  updating_ = false;
  window.StopTimer(ids::kProgressTimer);
  if (exit_code != kWorkerSucceeded) {
    ReportFailure(window);
    return;
  }
  window.SetProgress(ids::kProgressBar, kProgressHigh);
  ShowStatus(window, texts::kUpdateComplete.In(language_));
  EndWait();
  if (dialogs::ShowNotice(host_, window.Handle(), dialogs::Notice::kEnd, language_) !=
      dialogs::NoticeDialog::kOk) {
    // Nobody has been told that the settings come back and Windows restarts: the dialog
    // stays, and CANCEL, with its own notice, is the way on.
    window.EnableControl(ids::kCancelButton, true);
    return;
  }
  if (settings_changed_ == 0) {
    restore_result_ = kRestoreNothing;
  }
  EndDialog(window, kEndResult);
}

void UpdateDialog::ReportFailure(platform::DialogWindow& window) {
  updating_ = false;
  window.StopTimer(ids::kProgressTimer);
  window.SetProgress(ids::kProgressBar, kProgressLow);
  ShowStatus(window, texts::kUpdateFailedStatus.In(language_));
  ShowMessage(window, texts::kUpdateFailedMessage.In(language_));
  window.SetProgress(ids::kProgressBar, kProgressLow);
  window.EnableControl(ids::kCancelButton, true);
  ShowValues(window);
  EndWait();
}

void UpdateDialog::PushValues(platform::DialogWindow& window) {
  window.SetControlText(ids::kEmptyStatic, empty_static_);
  window.SetControlText(ids::kDriveLabel, drive_label_);
  window.SetControlText(ids::kStatusLine, status_);
  window.SetControlText(ids::kCurrentRevision, current_revision_);
  window.SetControlText(ids::kNewVersion, new_version_);
}

void UpdateDialog::ShowValues(platform::DialogWindow& window) {
  PushValues(window);
  window.Repaint();
}

void UpdateDialog::ShowStatus(platform::DialogWindow& window, std::string_view status) {
  status_ = status;
  ShowValues(window);
}

void UpdateDialog::ShowMessage(platform::DialogWindow& window, std::string_view text) {
  host_.ShowMessageBox(window.Handle(), text, texts::kMessageCaption, platform::kMbOk);
}

void UpdateDialog::BeginWait() {
  if (!wait_cursor_) {
    host_.BeginWaitCursor();
    wait_cursor_ = true;
  }
}

void UpdateDialog::EndWait() {
  if (wait_cursor_) {
    host_.EndWaitCursor();
    wait_cursor_ = false;
  }
}

}  // namespace fwu
