#pragma once

#include <string>

namespace fwu {

// printf-style formatting into a std::string. The program's texts are printf formats (some of
// them code page 932 bytes taken from a language pair), so this is the one place that turns a
// format and its fields into text.
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace fwu
