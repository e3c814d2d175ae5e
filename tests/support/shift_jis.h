#pragma once

#include <string>
#include <string_view>

namespace fwu::test {

// Decodes code page 932 bytes as UTF-8, so that tests can state the Japanese texts in readable
// form. Throws std::invalid_argument for bytes that are not valid code page 932, which makes a
// text stored in the wrong encoding fail the test that reads it.
std::string ShiftJisToUtf8(std::string_view shift_jis);

}  // namespace fwu::test
