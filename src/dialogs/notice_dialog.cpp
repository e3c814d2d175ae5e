#include "dialogs/notice_dialog.h"

#include <algorithm>
#include <array>

#include "resources/dialog_ids.h"
#include "resources/notice_texts.h"
#include "resources/update_texts.h"

namespace fwu::dialogs {

namespace {

constexpr std::array<NoticeEntry, 5> kNotices{{
    {Notice::kWarning,
     {ids::kWarningNotice, ids::kWarningText, "warning"},
     {ids::kWarningNoticeJapanese, ids::kWarningTextJapanese, "warningj"},
     &texts::kWarningNotice,
     false},
    {Notice::kCancel,
     {ids::kCancelNotice, ids::kCancelText, "cancel"},
     {ids::kCancelNoticeJapanese, ids::kCancelTextJapanese, "cancelj"},
     &texts::kCancelNotice,
     false},
    {Notice::kEnd,
     {ids::kEndNotice, ids::kEndText, "end"},
     {ids::kEndNoticeJapanese, ids::kEndTextJapanese, "endj"},
     &texts::kEndNotice,
     false},
    {Notice::kStart,
     {ids::kStartNotice, ids::kStartText, "start"},
     {ids::kStartNoticeJapanese, ids::kStartTextJapanese, "startj"},
     &texts::kStartNotice,
     false},
    {Notice::kReboot,
     {ids::kRebootNotice, ids::kRebootText, "reboot"},
     {ids::kRebootNoticeJapanese, ids::kRebootTextJapanese, "rebootj"},
     &texts::kRebootNotice,
     true},
}};

}  // namespace

const NoticeEntry& NoticeEntryOf(Notice notice) {
  return *std::find_if(kNotices.begin(), kNotices.end(),
                       [notice](const NoticeEntry& entry) { return entry.notice == notice; });
}

NoticeDialog::NoticeDialog(Notice notice, MessageLanguage language)
    : entry_(NoticeEntryOf(notice)),
      resource_(language == MessageLanguage::kJapanese ? entry_.japanese : entry_.english),
      message_text_(entry_.text->In(language)) {}

int NoticeDialog::TemplateId() const {
  return resource_.template_id;
}

void NoticeDialog::OnInitDialog(platform::DialogWindow& window) {
  window.SetControlText(resource_.text_control, message_text_);
  window.SetTitle(texts::kMessageCaption);
}

void NoticeDialog::OnCommand(platform::DialogWindow& window, int command) {
  if (command == ids::kOk) {
    message_text_ = window.ControlText(resource_.text_control);
    if (message_text_.size() > kTextLimit) {
      return;
    }
    EndDialog(window, kOk);
  } else if (command == ids::kRebootCancel && entry_.has_cancel_button) {
    EndDialog(window, kCancelled);
  }
}

void NoticeDialog::OnCloseRequest(platform::DialogWindow& /*window*/) {}

int ShowNotice(platform::DialogHost& host, platform::WindowHandle parent, Notice notice,
               MessageLanguage language, std::string_view text) {
  NoticeDialog dialog(notice, language);
  if (!text.empty()) {
    dialog.SetMessageText(text);
  }
  return host.RunModal(dialog, parent);
}

}  // namespace fwu::dialogs
