#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "dialogs/shutdown_guard.h"
#include "resources/message_language.h"
#include "resources/text_pair.h"

namespace fwu::dialogs {

// The notices, each in an English and a Japanese dialog of its own.
enum class Notice : std::uint8_t { kWarning, kCancel, kEnd, kStart, kReboot };

// What tells one notice dialog from another.
struct NoticeResource {
  int template_id = 0;
  int text_control = 0;
  std::string_view name;  // the text control's name in the string table
};

struct NoticeEntry {
  Notice notice = Notice::kWarning;
  NoticeResource english;
  NoticeResource japanese;
  const TextPair* text = nullptr;  // the text it starts with
  bool has_cancel_button = false;  // the reboot pair: OK goes on (1), its cancel button stops (2)
};

const NoticeEntry& NoticeEntryOf(Notice notice);

// A small modal message with OK (and, for the reboot pair, a cancel button). Ends with 1 on OK
// and 2 on the reboot pair's cancel button. Neither Escape nor a close request ends it: a notice
// is dismissed only by a deliberate choice, because some callers act on its result.
class NoticeDialog final : public GuardedDialog {
 public:
  static constexpr std::size_t kTextLimit = 2000;
  static constexpr int kOk = 1;
  static constexpr int kCancelled = 2;

  NoticeDialog(Notice notice, MessageLanguage language);

  // Replaces the built-in text before the notice is shown.
  void SetMessageText(std::string_view text) { message_text_ = text; }
  const std::string& MessageText() const { return message_text_; }
  const NoticeResource& Resource() const { return resource_; }

  int TemplateId() const override;
  void OnInitDialog(platform::DialogWindow& window) override;
  void OnCommand(platform::DialogWindow& window, int command) override;
  void OnCloseRequest(platform::DialogWindow& window) override;

 private:
  const NoticeEntry& entry_;
  NoticeResource resource_;
  std::string message_text_;
};

// Shows the notice in the message language and returns its result. An empty text keeps the
// built-in one.
int ShowNotice(platform::DialogHost& host, platform::WindowHandle parent, Notice notice,
               MessageLanguage language, std::string_view text = {});

}  // namespace fwu::dialogs
