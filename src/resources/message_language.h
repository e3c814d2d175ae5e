#pragma once

#include "platform/locale.h"

namespace fwu {

enum class MessageLanguage { kEnglish, kJapanese };

inline constexpr int kJapaneseCodePage = 932;

// Japanese exactly when the runtime's multibyte code page is 932; every other value, 0
// included (a single-byte system), gives English.
constexpr MessageLanguage MessageLanguageOf(int multibyte_code_page) {
  return multibyte_code_page == kJapaneseCodePage ? MessageLanguage::kJapanese
                                                  : MessageLanguage::kEnglish;
}

inline MessageLanguage CurrentMessageLanguage(const platform::Locale& locale) {
  return MessageLanguageOf(locale.MultibyteCodePage());
}

}  // namespace fwu
