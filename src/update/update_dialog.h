#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "dialogs/shutdown_guard.h"
#include "drive/drive_transport.h"
#include "platform/clock.h"
#include "platform/dialog_host.h"
#include "platform/locale.h"
#include "platform/threads.h"
#include "resources/message_language.h"
#include "update/firmware_image.h"
#include "update/update_worker.h"
#include "update/worker_thread.h"

namespace fwu {

// The program's main window: the drive list, the status line, Update Start and CANCEL, the
// progress bar and the About entry. It checks the selected drive, runs the update on a worker
// thread and polls it on a timer, and hands the start-up sequence its restore result.
class UpdateDialog final : public dialogs::GuardedDialog {
 public:
  // The restore result that leaves the system settings as they are.
  static constexpr int kRestoreNothing = 2;
  static constexpr int kRestoreSettings = 1;
  static constexpr int kEndResult = 1;
  static constexpr std::uint32_t kProgressPeriodMs = 3000;
  static constexpr int kProgressTicksShown = 45;
  static constexpr int kTimeoutTicks = 100;
  static constexpr std::size_t kListEntryLength = 29;
  // While CANCEL waits for a worker that is still writing the drive.
  static constexpr std::uint32_t kWorkerWaitTimer = 108;
  static constexpr std::uint32_t kWorkerWaitPeriodMs = 1000;

  UpdateDialog(platform::DialogHost& host, platform::Threads& threads, platform::Clock& clock,
               const platform::Locale& locale, DriveTransport& transport,
               std::span<const FirmwareImage> images = ImageList());
  UpdateDialog(const UpdateDialog&) = delete;
  UpdateDialog& operator=(const UpdateDialog&) = delete;

  // The start-up sequence's count of changed settings; nonzero means they are to be restored.
  void SetSettingsChanged(std::int32_t change_count) { settings_changed_ = change_count; }
  int RestoreResult() const { return restore_result_; }
  bool Updating() const { return updating_; }

  int TemplateId() const override;
  void OnInitDialog(platform::DialogWindow& window) override;
  void OnCommand(platform::DialogWindow& window, int command) override;
  void OnSelectionChange(platform::DialogWindow& window, int control) override;
  void OnTimer(platform::DialogWindow& window, std::uint32_t id) override;
  void OnCloseRequest(platform::DialogWindow& window) override;
  bool OnPaint(platform::DialogWindow& window) override;
  bool OnSystemCommand(platform::DialogWindow& window, std::uint32_t command) override;
  bool OnSetCursor(platform::DialogWindow& window) override;
  int DragIcon() const override;

 private:
  class CheckView;

  void Scan(platform::DialogWindow& window);
  void RunCheckDrive(platform::DialogWindow& window);
  void CloseStep(platform::DialogWindow& window);
  void Cancel(platform::DialogWindow& window);
  void EndAfterCancel(platform::DialogWindow& window);
  void ShowAbout(platform::DialogWindow& window);

  void StartUpdate(platform::DialogWindow& window);
  bool LaunchWorker(platform::DialogWindow& window);
  void StartFailure(platform::DialogWindow& window, bool with_error_text);
  void ProgressTick(platform::DialogWindow& window);
  void ReportFailure(platform::DialogWindow& window);
  void WorkerWaitTick(platform::DialogWindow& window);
  void FinishWaiting(platform::DialogWindow& window, bool worker_ended);

  // Writes the dialog's values into its controls and repaints at once.
  void ShowValues(platform::DialogWindow& window);
  void PushValues(platform::DialogWindow& window);
  void ShowStatus(platform::DialogWindow& window, std::string_view status);
  void ShowMessage(platform::DialogWindow& window, std::string_view text);
  void BeginWait();
  void EndWait();

  platform::DialogHost& host_;
  platform::Clock& clock_;
  DriveTransport& transport_;
  std::span<const FirmwareImage> images_;
  MessageLanguage language_;

  std::int32_t settings_changed_ = 0;
  int restore_result_ = kRestoreNothing;
  bool updating_ = false;
  bool waiting_for_worker_ = false;
  bool wait_cursor_ = false;

  // Values of the statics and edits.
  std::string empty_static_;
  std::string drive_label_;
  std::string status_;
  std::string current_revision_;
  std::string new_version_;

  WorkerParams worker_params_{};
  std::size_t image_index_ = 0;
  int tick_counter_ = 0;
  WorkerThread worker_;
};

}  // namespace fwu
