#pragma once

#include <string_view>

#include "resources/message_language.h"

namespace fwu {

// A user-visible text in both languages. The English text is ASCII; the Japanese one is held
// as code page 932 bytes, ready for the system's ANSI text interfaces.
struct TextPair {
  std::string_view english;
  std::string_view japanese;

  constexpr std::string_view In(MessageLanguage language) const {
    return language == MessageLanguage::kJapanese ? japanese : english;
  }
};

}  // namespace fwu
