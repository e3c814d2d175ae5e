#include "platform/sim/terminal_text.h"

#include <cstdint>

#include <iconv.h>

namespace fwu::sim {

namespace {

// Length of the UTF-8 sequence that starts with this byte (1 for a stray continuation byte).
std::size_t SequenceLength(unsigned char lead) {
  if (lead >= 0xF0) {
    return 4;
  }
  if (lead >= 0xE0) {
    return 3;
  }
  if (lead >= 0xC0) {
    return 2;
  }
  return 1;
}

std::uint32_t CodePointAt(std::string_view utf8, std::size_t at, std::size_t length) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(utf8[at + i]); };
  switch (length) {
    case 2:
      return ((byte(0) & 0x1FU) << 6U) | (byte(1) & 0x3FU);
    case 3:
      return ((byte(0) & 0x0FU) << 12U) | ((byte(1) & 0x3FU) << 6U) | (byte(2) & 0x3FU);
    case 4:
      return ((byte(0) & 0x07U) << 18U) | ((byte(1) & 0x3FU) << 12U) | ((byte(2) & 0x3FU) << 6U) |
             (byte(3) & 0x3FU);
    default:
      return byte(0);
  }
}

// Everything code page 932 holds from U+1100 up is full width, except the half-width katakana.
std::size_t CodePointWidth(std::uint32_t code_point) {
  const bool half_width_katakana = code_point >= 0xFF61 && code_point <= 0xFF9F;
  return code_point >= 0x1100 && !half_width_katakana ? 2 : 1;
}

class Converter {
 public:
  Converter() : handle_(iconv_open("UTF-8", "CP932")) {}
  ~Converter() {
    if (Valid()) {
      iconv_close(handle_);
    }
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // iconv_open reports failure as (iconv_t)-1.
  bool Valid() const {
    return handle_ != reinterpret_cast<iconv_t>(-1);  // NOLINT(performance-no-int-to-ptr)
  }
  iconv_t Handle() const { return handle_; }

 private:
  iconv_t handle_;
};

void AppendLine(std::vector<std::string>& lines, std::string_view line, std::size_t columns) {
  std::string current;
  std::size_t width = 0;
  std::size_t last_blank = std::string::npos;  // in current
  std::size_t width_at_blank = 0;
  for (std::size_t at = 0; at < line.size();) {
    const std::size_t length =
        std::min(SequenceLength(static_cast<unsigned char>(line[at])), line.size() - at);
    const std::size_t char_width = CodePointWidth(CodePointAt(line, at, length));
    if (width + char_width > columns && !current.empty()) {
      if (last_blank != std::string::npos && line[at] != ' ') {
        lines.push_back(current.substr(0, last_blank));
        current = current.substr(last_blank + 1);
        width -= width_at_blank + 1;
      } else {
        lines.push_back(current);
        current.clear();
        width = 0;
      }
      last_blank = std::string::npos;
      if (line[at] == ' ') {
        ++at;  // a blank at the break is not carried to the next line
        continue;
      }
    }
    if (line[at] == ' ') {
      last_blank = current.size();
      width_at_blank = width;
    }
    current.append(line.substr(at, length));
    width += char_width;
    at += length;
  }
  lines.push_back(current);
}

}  // namespace

std::string Cp932ToUtf8(std::string_view text) {
  Converter converter;
  if (!converter.Valid()) {
    return std::string(text);
  }
  std::string utf8;
  std::string chunk(16, '\0');
  // iconv's interface takes a non-const input pointer but does not write through it.
  char* in = const_cast<char*>(text.data());
  std::size_t in_left = text.size();
  while (in_left > 0) {
    char* out = chunk.data();
    std::size_t out_left = chunk.size();
    const std::size_t converted = iconv(converter.Handle(), &in, &in_left, &out, &out_left);
    utf8.append(chunk.data(), chunk.size() - out_left);
    if (converted == static_cast<std::size_t>(-1) && out_left == chunk.size()) {
      // Nothing came out of this round: the next byte is not code page 932.
      utf8.push_back('?');
      ++in;
      --in_left;
    }
  }
  return utf8;
}

std::size_t DisplayWidth(std::string_view utf8) {
  std::size_t width = 0;
  for (std::size_t at = 0; at < utf8.size();) {
    const std::size_t length =
        std::min(SequenceLength(static_cast<unsigned char>(utf8[at])), utf8.size() - at);
    width += CodePointWidth(CodePointAt(utf8, at, length));
    at += length;
  }
  return width;
}

std::vector<std::string> WrapText(std::string_view utf8, std::size_t columns) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  while (true) {
    const std::size_t end = utf8.find('\n', from);
    std::string_view line = utf8.substr(from, end == std::string_view::npos ? end : end - from);
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    AppendLine(lines, line, columns == 0 ? 1 : columns);
    if (end == std::string_view::npos) {
      break;
    }
    from = end + 1;
  }
  return lines;
}

}  // namespace fwu::sim
