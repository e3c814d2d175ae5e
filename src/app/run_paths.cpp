#include "app/run_paths.h"

#include "dialogs/agreement_dialog.h"
#include "dialogs/notice_dialog.h"
#include "drive/identity.h"
#include "resources/notice_texts.h"
#include "sysconfig/change_system_settings.h"
#include "sysconfig/restart.h"
#include "update/update_dialog.h"

namespace fwu {

namespace {

constexpr platform::WindowHandle kNoOwner = 0;

}  // namespace

RunPaths::RunPaths(platform::Platform& platform, const SystemContext& context, ChangeStore& store,
                   DriveTransport& transport, std::span<const FirmwareImage> images,
                   MessageLanguage language, ScreenSaverSuspension& screen_saver)
    : platform_(platform),
      context_(context),
      store_(store),
      transport_(transport),
      images_(images),
      language_(language),
      screen_saver_(screen_saver) {}

RunOutcome RunPaths::Run() {
  probe_ = ProbeRunEntry(context_);
  // A start that the Run entry made was agreed to before the restart. Only "Agree" goes on:
  // terms that could not be shown have not been agreed to.
  if (!probe_.resumed) {
    dialogs::AgreementDialog agreement(language_);
    agreement.SetModelName(kTargetProduct);
    if (platform_.dialogs.RunModal(agreement, kNoOwner) != dialogs::AgreementDialog::kAgreed) {
      screen_saver_.Restore();
      return RunOutcome::kDeclined;
    }
  }
  store_parent_preexisting_ = store_.ReadOrigin();
  if (SystemSettingsNeedChange(context_)) {
    return PreparationPath();
  }
  return UpdatePath();
}

RunOutcome RunPaths::PreparationPath() {
  const TextPair& reboot_text =
      probe_.run_entry_unavailable ? texts::kRebootRunAgain : texts::kRebootWillResume;
  // Nothing is changed, and Windows is not restarted, on anything but the user's OK.
  if (dialogs::ShowNotice(platform_.dialogs, kNoOwner, dialogs::Notice::kReboot, language_,
                          reboot_text.In(language_)) != dialogs::NoticeDialog::kOk) {
    screen_saver_.Restore();
    return RunOutcome::kDeclined;
  }
  store_.LoadCount();
  // What the change pass leaves in the counter is saved whatever it reports.
  ChangeSystemSettings(context_, store_);
  store_.SaveCount();
  if (!probe_.run_entry_unavailable) {
    WriteRunEntry(context_, probe_.program_path);
  }
  MarkPendingRestart(context_);
  store_.SaveOrigin(store_parent_preexisting_);
  screen_saver_.Restore();
  RestartWindows(platform_.system, context_.is_nt);
  return RunOutcome::kPrepared;
}

RunOutcome RunPaths::UpdatePath() {
  store_.LoadCount();
  UpdateDialog dialog(platform_.dialogs, platform_.threads, platform_.clock, platform_.locale,
                      transport_, images_);
  // Its result is no choice, but a warning that could not be shown has asked nobody to close
  // the other programs before the drive is written.
  if (dialogs::ShowNotice(platform_.dialogs, kNoOwner, dialogs::Notice::kWarning, language_) !=
      dialogs::NoticeDialog::kOk) {
    screen_saver_.Restore();
    return RunOutcome::kDeclined;
  }
  dialog.SetSettingsChanged(store_.Count());
  platform_.dialogs.RunModal(dialog, kNoOwner);
  if (dialog.RestoreResult() == UpdateDialog::kRestoreNothing) {
    screen_saver_.Restore();
    return RunOutcome::kLeftUnchanged;
  }
  store_.Restore();
  context_.Yield();
  // Records that could not be given back keep the store; Windows restarts all the same.
  if (store_.Count() == 0) {
    store_.Remove(store_parent_preexisting_);
    ForgetPendingRun(context_);
  }
  context_.Yield();
  screen_saver_.Restore();
  RestartWindows(platform_.system, context_.is_nt);
  return RunOutcome::kRestored;
}

}  // namespace fwu
