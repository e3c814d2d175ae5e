#include "update/about_dialog.h"

#include "drive/identity.h"
#include "resources/dialog_ids.h"

namespace fwu {

AboutDialog::AboutDialog() : model_text_(kTargetProduct) {}

int AboutDialog::TemplateId() const {
  return ids::kAboutDialog;
}

void AboutDialog::OnInitDialog(platform::DialogWindow& window) {
  window.SetControlText(ids::kAboutVersion, version_text_);
  window.SetControlText(ids::kAboutModel, model_text_);
}

void AboutDialog::OnCommand(platform::DialogWindow& window, int command) {
  if (command == ids::kOk || command == ids::kCancel) {
    window.End(command);
  }
}

bool AboutDialog::OnGuardMessage(std::uint32_t /*message*/, std::uintptr_t /*parameter*/,
                                 std::intptr_t& /*answer*/) {
  return false;
}

}  // namespace fwu
