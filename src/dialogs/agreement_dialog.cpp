#include "dialogs/agreement_dialog.h"

#include <string>

#include "drive/identity.h"
#include "resources/agreement_texts.h"
#include "resources/dialog_ids.h"
#include "resources/format.h"

namespace fwu::dialogs {

std::string TermsOfUse(MessageLanguage language) {
  const std::string model(kTargetProduct);
  const std::string format(texts::kAgreementTerms.In(language));
  // The English terms name the model twice, the Japanese ones once.
  return language == MessageLanguage::kJapanese
             ? FormatText(format.c_str(), model.c_str())
             : FormatText(format.c_str(), model.c_str(), model.c_str());
}

AgreementDialog::AgreementDialog(MessageLanguage language)
    : language_(language), agreement_text_(TermsOfUse(language)) {}

int AgreementDialog::TemplateId() const {
  return ids::kAgreementDialog;
}

void AgreementDialog::OnInitDialog(platform::DialogWindow& window) {
  window.SetTextLimit(ids::kAgreementText, kTextLimit);
  window.SetControlText(ids::kAgreementText, agreement_text_);
}

void AgreementDialog::OnCommand(platform::DialogWindow& window, int command) {
  if (command == ids::kAgree) {
    // The text comes back from the field as on any OK; one that has grown past the limit keeps
    // the dialog open.
    agreement_text_ = window.ControlText(ids::kAgreementText);
    if (agreement_text_.size() > kTextLimit) {
      return;
    }
    EndDialog(window, kAgreed);
  } else if (command == ids::kNotAgree) {
    EndDialog(window, kNotAgreed);
  }
}

bool AgreementDialog::OnPaint(platform::DialogWindow& window) {
  window.SetTitle(std::string(texts::kAgreementTitlePrefix) + model_name_);
  if (language_ == MessageLanguage::kJapanese) {
    window.SetControlText(ids::kAgree, texts::kAgreeCaption.japanese);
    window.SetControlText(ids::kNotAgree, texts::kNotAgreeCaption.japanese);
  }
  return false;
}

}  // namespace fwu::dialogs
