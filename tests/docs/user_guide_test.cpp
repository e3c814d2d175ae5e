// The user guides quote the program's own texts. These tests hold the guides against the texts
// the program is built from, so that neither can change without the other.
//
// A quote is what the guides' convention (an HTML comment at the top of each guide) says: every
// code span and every fenced code block is a text of the program as it shows it, and the lines of
// a block are the lines of the text.
//
// The program's texts are the string literals of its text sources: src/resources (messages,
// notices, captions, dialog layouts) and src/drive (the failure texts of drive commands with
// their status and sense tables). The Japanese sources are UTF-8, which the build turns into
// code page 932 character for character, so a quote equal to a source literal is exactly what
// the program shows. A literal that is a printf format stands for every text it produces.
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace fwu {
namespace {

namespace fs = std::filesystem;

const fs::path kProjectDir = FWU_PROJECT_DIR;
const fs::path kEnglishGuide = kProjectDir / "docs" / "user-guide.md";
const fs::path kJapaneseGuide = kProjectDir / "docs" / "user-guide.ja.md";

std::string ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// A letter or digit of the source; bytes of UTF-8 characters count as letters.
bool IsWordCharacter(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || static_cast<unsigned char>(c) >= 0x80;
}

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// What a reader can see of a text: its lines without the blanks at their ends, and no trailing
// empty lines. CR LF and LF both end a line.
std::string Visible(std::string_view text) {
  std::string visible;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) {
      end = text.size();
    }
    std::string_view line = text.substr(start, end - start);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r' || line.back() == '\t')) {
      line.remove_suffix(1);
    }
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
      line.remove_prefix(1);
    }
    visible.append(line).push_back('\n');
    start = end + 1;
  }
  while (!visible.empty() && visible.back() == '\n') {
    visible.pop_back();
  }
  return visible;
}

// The text of the quoted literal that starts at `open`, its escapes resolved; `end` is set past
// its closing quote.
std::string ReadLiteral(std::string_view source, std::size_t open, std::size_t& end) {
  std::string text;
  std::size_t i = open + 1;
  for (; i < source.size() && source[i] != source[open]; ++i) {
    if (source[i] != '\\' || i + 1 == source.size()) {
      text.push_back(source[i]);
      continue;
    }
    switch (source[++i]) {
      case 'n':
        text.push_back('\n');
        break;
      case 'r':
        text.push_back('\r');
        break;
      case 't':
        text.push_back('\t');
        break;
      case '0':
        text.push_back('\0');
        break;
      default:
        text.push_back(source[i]);
    }
  }
  end = i + 1;
  return text;
}

// The string literals of a C++ source or resource script, adjacent literals joined as the
// compiler joins them. Comments and character literals are passed over.
std::vector<std::string> StringLiterals(std::string_view source) {
  std::vector<std::string> literals;
  bool continues_literal = false;
  std::size_t i = 0;
  while (i < source.size()) {
    const char c = source[i];
    // rfind gives npos on the first line, and npos + 1 is its start.
    const bool directive =
        c == '#' && source.find_first_not_of(" \t", source.rfind('\n', i) + 1) == i;
    if (directive || source.substr(i, 2) == "//") {
      // A comment, or a preprocessor line such as #include "path".
      i = std::min(source.find('\n', i), source.size());
    } else if (source.substr(i, 2) == "/*") {
      i = std::min(source.find("*/", i), source.size()) + 2;
    } else if (c == '"') {
      std::string text = ReadLiteral(source, i, i);
      if (continues_literal) {
        literals.back() += text;
      } else {
        literals.push_back(std::move(text));
      }
      continues_literal = true;
    } else if (c == '\'' && (i == 0 || !IsWordCharacter(source[i - 1]))) {
      ReadLiteral(source, i, i);  // a character literal, not a digit separator
      continues_literal = false;
    } else {
      continues_literal = continues_literal && std::isspace(static_cast<unsigned char>(c)) != 0;
      ++i;
    }
  }
  return literals;
}

// One text of the program. A printf format matches what it can print: a number for each
// numeric field, one character for %c, and for a string field any words on one line, the latter
// only in a format with a word of its own ("%s\n" alone would match anything).
class ProgramText {
 public:
  explicit ProgramText(std::string_view literal) : visible_(Visible(literal)) {
    static const std::regex kField(R"(%[-+ #0]*[0-9]*(\.[0-9]+)?(hh|h|ll|l|z)?([diuxXcsp%]))");
    static const std::regex kSpecial(R"([.^$|()\[\]{}*+?\\])");
    std::string pattern;
    std::string fixed;
    bool has_field = false;
    bool has_string_field = false;
    auto rest = visible_.cbegin();
    for (std::sregex_iterator field(visible_.begin(), visible_.end(), kField), done; field != done;
         ++field) {
      const std::string before(rest, (*field)[0].first);
      fixed += before;
      pattern += std::regex_replace(before, kSpecial, R"(\$&)");
      rest = (*field)[0].second;
      const char type = (*field)[3].str()[0];
      has_field = has_field || type != '%';
      has_string_field = has_string_field || type == 's' || type == 'p';
      pattern += type == '%'                  ? "%"
                 : type == 'x'                ? "[0-9a-f]+"
                 : type == 'X'                ? "[0-9A-F]+"
                 : type == 'c'                ? "[^\n]"
                 : type == 's' || type == 'p' ? "[^\n]+"
                                              : "-?[0-9]+";
    }
    const std::string after(rest, visible_.cend());
    fixed += after;
    pattern += std::regex_replace(after, kSpecial, R"(\$&)");
    const bool has_word = std::any_of(fixed.begin(), fixed.end(), [](char c) {
      return IsWordCharacter(c) && std::isdigit(static_cast<unsigned char>(c)) == 0;
    });
    const bool has_fixed_text = fixed.find_first_not_of(" \n") != std::string::npos;
    if (has_field && has_fixed_text && (has_word || !has_string_field)) {
      format_ = std::regex(pattern);
    }
  }

  const std::string& VisibleText() const { return visible_; }

  bool Matches(const std::string& visible_quote) const {
    return visible_quote == visible_ || (format_ && std::regex_match(visible_quote, *format_));
  }

 private:
  std::string visible_;
  std::optional<std::regex> format_;
};

std::vector<ProgramText> TextsOf(const std::vector<fs::path>& sources) {
  std::vector<ProgramText> texts;
  for (const fs::path& source : sources) {
    for (const std::string& literal : StringLiterals(ReadFile(source))) {
      ProgramText text(literal);
      if (!text.VisibleText().empty()) {
        texts.push_back(std::move(text));
      }
    }
  }
  return texts;
}

// Every text the program can show, and some it never shows (trace formats, names of entry
// points): no guide quotes those by chance.
std::vector<ProgramText> EveryProgramText() {
  std::vector<fs::path> sources;
  for (const char* folder : {"resources", "drive"}) {
    for (const auto& entry : fs::directory_iterator(kProjectDir / "src" / folder)) {
      const std::string extension = entry.path().extension().string();
      if (extension == ".cpp" || extension == ".h" || extension == ".rc") {
        sources.push_back(entry.path());
      }
    }
  }
  std::sort(sources.begin(), sources.end());
  return TextsOf(sources);
}

struct Quote {
  int line = 0;
  std::string text;  // as a reader sees it
};

// The code spans and fenced code blocks of a guide, HTML comments left out. A code span, set in
// single backticks, opens and closes on one line.
std::vector<Quote> QuotesOf(const fs::path& guide) {
  std::vector<Quote> quotes;
  std::istringstream lines(ReadFile(guide));
  std::string line;
  std::optional<Quote> block;
  bool in_comment = false;
  for (int number = 1; std::getline(lines, line); ++number) {
    const std::string_view trimmed =
        std::string_view(line).substr(std::min(line.find_first_not_of(' '), line.size()));
    if (in_comment || trimmed.starts_with("<!--")) {
      in_comment = line.find("-->") == std::string::npos;
    } else if (trimmed.starts_with("```")) {
      if (block) {
        quotes.push_back({block->line, Visible(block->text)});
        block.reset();
      } else {
        block = Quote{number + 1, ""};
      }
    } else if (block) {
      block->text += line + '\n';
    } else {
      for (std::size_t open = line.find('`'); open != std::string::npos;) {
        const std::size_t close = line.find('`', open + 1);
        if (close == std::string::npos) {
          ADD_FAILURE() << guide.filename().string() << ":" << number
                        << ": a code span does not close on its line";
          break;
        }
        quotes.push_back({number, Visible(line.substr(open + 1, close - open - 1))});
        open = line.find('`', close + 1);
      }
    }
  }
  EXPECT_GT(quotes.size(), 100U) << guide << " has lost its quotes";
  return quotes;
}

TEST(UserGuide, QuotesNothingButTheProgramsOwnTexts) {
  const std::vector<ProgramText> texts = EveryProgramText();
  for (const fs::path& guide : {kEnglishGuide, kJapaneseGuide}) {
    const std::vector<Quote> quotes = QuotesOf(guide);
    for (const Quote& quote : quotes) {
      EXPECT_TRUE(std::any_of(texts.begin(), texts.end(),
                              [&](const ProgramText& text) { return text.Matches(quote.text); }))
          << guide.filename().string() << ":" << quote.line << ": no text of the program reads\n"
          << quote.text;
    }
  }
}

// Each message, notice and status line: the English ones in the English guide, the Japanese
// ones in the Japanese guide. The terms of use are summed up, not quoted.
TEST(UserGuide, ExplainsEveryMessageOfTheProgram) {
  const fs::path resources = kProjectDir / "src" / "resources";
  const std::vector<ProgramText> messages =
      TextsOf({resources / "startup_texts_ja.cpp", resources / "drive_messages_ja.cpp",
               resources / "notice_texts_ja.cpp", resources / "update_texts_ja.cpp"});
  ASSERT_GT(messages.size(), 40U);
  const std::vector<Quote> english = QuotesOf(kEnglishGuide);
  const std::vector<Quote> japanese = QuotesOf(kJapaneseGuide);
  for (const ProgramText& message : messages) {
    const bool in_english = IsAscii(message.VisibleText());
    const std::vector<Quote>& quotes = in_english ? english : japanese;
    EXPECT_TRUE(std::any_of(quotes.begin(), quotes.end(),
                            [&](const Quote& quote) { return message.Matches(quote.text); }))
        << (in_english ? kEnglishGuide : kJapaneseGuide).filename().string() << " does not quote\n"
        << message.VisibleText();
  }
}

TEST(UserGuide, PicturesAreInTheRepository) {
  static const std::regex kPicture(R"(\]\((images/[^)]+)\))");
  for (const fs::path& guide : {kEnglishGuide, kJapaneseGuide}) {
    const std::string text = ReadFile(guide);
    int pictures = 0;
    for (std::sregex_iterator link(text.begin(), text.end(), kPicture), done; link != done;
         ++link, ++pictures) {
      EXPECT_TRUE(fs::is_regular_file(guide.parent_path() / (*link)[1].str()))
          << guide.filename().string() << " shows the missing " << (*link)[1];
    }
    EXPECT_GT(pictures, 5) << guide;
  }
}

}  // namespace
}  // namespace fwu
