#include "drive_report/drive_options.h"

#include <charconv>

namespace fwu::test {
namespace {

bool ParseCount(std::string_view text, std::uint32_t& value) {
  const char* const end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  return error == std::errc() && stop == end;
}

}  // namespace

std::optional<DriveOptions> ParseDriveOptions(std::string_view text, std::string& error) {
  DriveOptions options;
  while (!text.empty()) {
    const std::size_t comma = text.find(',');
    const std::string_view option = text.substr(0, comma);
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    if (option.empty()) {
      continue;
    }
    const std::size_t equals = option.find('=');
    const std::string_view key = option.substr(0, equals);
    const std::string_view value =
        equals == std::string_view::npos ? std::string_view() : option.substr(equals + 1);
    bool fits = equals != std::string_view::npos;
    if (key == "revision") {
      fits = fits && value.size() == 4;
      options.revision = value;
    } else if (key == "report") {
      fits = fits && !value.empty();
      options.report = value;
    } else if (key == "reject-block") {
      fits = fits && ParseCount(value, options.refused_block) && options.refused_block >= 1 &&
             options.refused_block <= 255;
    } else if (key == "unit-attention") {
      fits = fits && ParseCount(value, options.unit_attentions);
    } else {
      error = "unknown drive option \"" + std::string(option) + "\"";
      return std::nullopt;
    }
    if (!fits) {
      error = "drive option \"" + std::string(option) + "\" has no fitting value";
      return std::nullopt;
    }
  }
  return options;
}

}  // namespace fwu::test
