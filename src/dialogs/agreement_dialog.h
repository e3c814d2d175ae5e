#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "dialogs/shutdown_guard.h"
#include "resources/message_language.h"

namespace fwu::dialogs {

// The terms of use in the given language, with the model named where the text names it.
std::string TermsOfUse(MessageLanguage language);

// The terms of use, shown before anything is changed or written. Ends with 1 when the user
// agrees and 2 when the user does not or closes the window.
class AgreementDialog final : public GuardedDialog {
 public:
  static constexpr std::size_t kTextLimit = 2000;
  static constexpr int kAgreed = 1;
  static constexpr int kNotAgreed = 2;

  explicit AgreementDialog(MessageLanguage language);

  // The model named in the title; the caller sets it before showing the dialog.
  void SetModelName(std::string_view model_name) { model_name_ = model_name; }
  const std::string& AgreementText() const { return agreement_text_; }

  int TemplateId() const override;
  void OnInitDialog(platform::DialogWindow& window) override;
  void OnCommand(platform::DialogWindow& window, int command) override;
  bool OnPaint(platform::DialogWindow& window) override;

 private:
  MessageLanguage language_;
  std::string model_name_;
  std::string agreement_text_;
};

}  // namespace fwu::dialogs
