#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace fwu::sim {

// The program's texts are ASCII or code page 932 bytes; a terminal wants UTF-8. Bytes that are
// not valid code page 932 come out as '?', so a broken text still shows.
std::string Cp932ToUtf8(std::string_view text);

// Columns a UTF-8 text takes in a terminal: East Asian wide characters take two.
std::size_t DisplayWidth(std::string_view utf8);

// Splits a UTF-8 text at its line breaks (CR LF, or LF alone) and wraps each line to at most
// `columns` display columns, at a blank where there is one.
std::vector<std::string> WrapText(std::string_view utf8, std::size_t columns);

}  // namespace fwu::sim
