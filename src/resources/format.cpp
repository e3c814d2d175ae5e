#include "resources/format.h"

#include <array>
#include <cstdarg>
#include <cstdio>

namespace fwu {

std::string FormatText(const char* format, ...) {
  // Most texts fit the small buffer; a longer one is formatted again into its exact size.
  std::array<char, 256> small{};
  std::va_list arguments;
  va_start(arguments, format);
  const int length = std::vsnprintf(small.data(), small.size(), format, arguments);
  va_end(arguments);
  if (length <= 0) {
    return {};
  }
  if (static_cast<std::size_t>(length) < small.size()) {
    return {small.data(), static_cast<std::size_t>(length)};
  }
  std::string text(static_cast<std::size_t>(length), '\0');
  va_start(arguments, format);
  std::vsnprintf(text.data(), text.size() + 1, format, arguments);
  va_end(arguments);
  return text;
}

}  // namespace fwu
