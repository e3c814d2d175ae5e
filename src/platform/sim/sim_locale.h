#pragma once

#include "platform/locale.h"

namespace fwu::sim {

// The simulated system's code page. Only multibyte code pages show through, as the runtime
// reports them: a single-byte system (1252, 437) reads as 0.
class SimLocale final : public platform::Locale {
 public:
  explicit SimLocale(int ansi_code_page = 1252) : ansi_code_page_(ansi_code_page) {}

  int MultibyteCodePage() const override {
    switch (ansi_code_page_) {
      case 932:
      case 936:
      case 949:
      case 950:
        return ansi_code_page_;
      default:
        return 0;
    }
  }

  void SetAnsiCodePage(int code_page) { ansi_code_page_ = code_page; }

 private:
  int ansi_code_page_;
};

}  // namespace fwu::sim
