#include "resources/message_language.h"

#include <stdexcept>
#include <string_view>

#include <gtest/gtest.h>

#include "platform/sim/sim_locale.h"
#include "resources/drive_messages.h"
#include "support/shift_jis.h"

namespace fwu {
namespace {

TEST(MessageLanguageTest, OnlyCodePage932SelectsJapanese) {
  EXPECT_EQ(CurrentMessageLanguage(sim::SimLocale(932)), MessageLanguage::kJapanese);
  // Single-byte systems read as 0; the other multibyte code pages keep their number.
  for (const int ansi_code_page : {1252, 437, 936, 949, 950}) {
    EXPECT_EQ(CurrentMessageLanguage(sim::SimLocale(ansi_code_page)), MessageLanguage::kEnglish)
        << "ANSI code page " << ansi_code_page;
  }
  for (const int multibyte_code_page : {0, 1, 931, 933, 936, 949, 950, -932}) {
    EXPECT_EQ(MessageLanguageOf(multibyte_code_page), MessageLanguage::kEnglish)
        << "multibyte code page " << multibyte_code_page;
  }
}

// The Japanese twin must reach the ANSI interfaces as Shift_JIS bytes, not as the UTF-8 of the
// source file.
TEST(MessageLanguageTest, JapaneseTextIsStoredAsShiftJis) {
  EXPECT_EQ(texts::kGetHandleError.In(MessageLanguage::kEnglish), "Get Handle Error: %d\n");
  const std::string_view japanese = texts::kGetHandleError.In(MessageLanguage::kJapanese);
  EXPECT_EQ(test::ShiftJisToUtf8(japanese), "ハンドル取得に失敗しました: %d\n");
  EXPECT_NE(japanese, std::string_view("ハンドル取得に失敗しました: %d\n"));
  // "ハ" is 0x83 0x6E in code page 932.
  ASSERT_GE(japanese.size(), 2U);
  EXPECT_EQ(static_cast<unsigned char>(japanese[0]), 0x83);
  EXPECT_EQ(static_cast<unsigned char>(japanese[1]), 0x6E);
}

TEST(MessageLanguageTest, ShiftJisDecoderRejectsOtherEncodings) {
  EXPECT_EQ(test::ShiftJisToUtf8("Get Handle Error: %d\n"), "Get Handle Error: %d\n");
  EXPECT_EQ(test::ShiftJisToUtf8(""), "");
  // A lead byte without its trail byte, and a byte that code page 932 leaves undefined.
  EXPECT_THROW(test::ShiftJisToUtf8("\x83"), std::invalid_argument);
  EXPECT_THROW(test::ShiftJisToUtf8("\xA0"), std::invalid_argument);
}

}  // namespace
}  // namespace fwu
