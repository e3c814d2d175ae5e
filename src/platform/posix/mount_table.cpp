#include "platform/posix/mount_table.h"

#include <sstream>

namespace fwu::posix {
namespace {

// The kernel writes blanks, tabs, newlines and backslashes in a path as three octal digits.
std::string Unescape(std::string_view field) {
  std::string text;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const std::string_view digits = field.substr(i + 1, 3);
      if (digits.find_first_not_of("01234567") == std::string_view::npos) {
        text += static_cast<char>(((digits[0] - '0') << 6) | ((digits[1] - '0') << 3) |
                                  (digits[2] - '0'));
        i += 3;
        continue;
      }
    }
    text += field[i];
  }
  return text;
}

}  // namespace

std::vector<std::string> MountPointsOf(std::string_view mountinfo, std::uint32_t major,
                                       std::uint32_t minor) {
  const std::string device = std::to_string(major) + ":" + std::to_string(minor);
  std::vector<std::string> mount_points;
  std::istringstream lines{std::string(mountinfo)};
  std::string line;
  while (std::getline(lines, line)) {
    // mount id, parent id, major:minor, root, mount point, ...
    std::istringstream fields(line);
    std::string id;
    std::string parent;
    std::string numbers;
    std::string root;
    std::string mount_point;
    if (fields >> id >> parent >> numbers >> root >> mount_point && numbers == device) {
      mount_points.push_back(Unescape(mount_point));
    }
  }
  return mount_points;
}

}  // namespace fwu::posix
