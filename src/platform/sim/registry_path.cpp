#include "platform/sim/registry_path.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace fwu::sim {

std::optional<std::vector<std::string>> SplitRegistryPath(const char* path) {
  std::vector<std::string> names;
  if (path == nullptr) {
    return names;
  }
  const std::string_view text(path);
  if (!text.empty() && text.front() == '\\') {
    return std::nullopt;
  }
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = std::min(text.find('\\', start), text.size());
    if (end > start) {
      names.emplace_back(text.substr(start, end - start));
    }
    start = end + 1;
  }
  return names;
}

std::vector<std::string> SplitRegistryPathOrThrow(std::string_view path) {
  auto names = SplitRegistryPath(std::string(path).c_str());
  if (!names) {
    throw std::invalid_argument("registry path begins with a backslash");
  }
  return *std::move(names);
}

}  // namespace fwu::sim
