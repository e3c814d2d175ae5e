#pragma once

#include <string>
#include <string_view>

#include "platform/locale.h"

namespace fwu::posix {

// The program's language rule on a system whose locales name a language instead of a code
// page: a Japanese locale ("ja", "ja_JP.UTF-8", ...) reads as code page 932, the Japanese one
// of the rule; every other locale as a single-byte system.
class UserLocale final : public platform::Locale {
 public:
  explicit UserLocale(std::string messages_locale) : name_(std::move(messages_locale)) {}
  // The locale that messages follow: LC_ALL, LC_MESSAGES or LANG, the first that is set.
  static UserLocale FromEnvironment();

  int MultibyteCodePage() const override;

 private:
  std::string name_;
};

// The program's Japanese texts (code page 932 bytes) as UTF-8 for the terminal. A byte sequence
// that is not code page 932 becomes U+FFFD; ASCII passes unchanged.
std::string Utf8FromCp932(std::string_view text);

}  // namespace fwu::posix
