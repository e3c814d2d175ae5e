#pragma once

#include <string>

#include "platform/dialog_host.h"

namespace fwu {

// The program's name, version and the drive model it serves; English in every language.
class AboutDialog final : public platform::DialogLogic {
 public:
  AboutDialog();

  int TemplateId() const override;
  void OnInitDialog(platform::DialogWindow& window) override;
  void OnCommand(platform::DialogWindow& window, int command) override;
  // The box is not guarded itself; the dialog that opened it refuses for it.
  bool OnGuardMessage(std::uint32_t message, std::uintptr_t parameter,
                      std::intptr_t& answer) override;

 private:
  std::string version_text_;
  std::string model_text_;
};

}  // namespace fwu
