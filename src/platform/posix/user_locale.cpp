#include "platform/posix/user_locale.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdlib>

#include <iconv.h>

namespace fwu::posix {
namespace {

constexpr int kJapaneseCodePage = 932;
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

class Converter {
 public:
  Converter() : descriptor_(iconv_open("UTF-8", "CP932")) {}
  ~Converter() {
    if (Open()) {
      iconv_close(descriptor_);
    }
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // iconv_open fails with (iconv_t)-1.
  bool Open() const { return reinterpret_cast<std::intptr_t>(descriptor_) != -1; }

  std::string Convert(std::string_view text) {
    std::string out;
    std::string input(text);
    char* in = input.data();
    std::size_t in_left = input.size();
    std::array<char, 256> buffer{};
    while (in_left > 0) {
      char* next = buffer.data();
      std::size_t out_left = buffer.size();
      const std::size_t result = iconv(descriptor_, &in, &in_left, &next, &out_left);
      out.append(buffer.data(), next);
      if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
        // An invalid or cut-off sequence: one byte stands for it.
        out += kReplacement;
        ++in;
        --in_left;
        iconv(descriptor_, nullptr, nullptr, nullptr, nullptr);
      }
    }
    return out;
  }

 private:
  iconv_t descriptor_;
};

}  // namespace

UserLocale UserLocale::FromEnvironment() {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') {
      return UserLocale(value);
    }
  }
  return UserLocale("");
}

int UserLocale::MultibyteCodePage() const {
  const bool japanese =
      name_.rfind("ja", 0) == 0 && (name_.size() == 2 || name_[2] == '_' || name_[2] == '.');
  return japanese ? kJapaneseCodePage : 0;
}

std::string Utf8FromCp932(std::string_view text) {
  Converter converter;
  if (!converter.Open()) {
    return std::string(text);
  }
  return converter.Convert(text);
}

}  // namespace fwu::posix
