#include "app/application_name.h"

namespace fwu {

std::string ApplicationNameOf(std::string_view program_file_path) {
  std::string_view name = program_file_path;
  if (const std::size_t slash = name.find_last_of("\\/:"); slash != std::string_view::npos) {
    name.remove_prefix(slash + 1);
  }
  if (const std::size_t dot = name.rfind('.'); dot != std::string_view::npos) {
    name = name.substr(0, dot);
  }
  return name.empty() ? std::string(kFallbackApplicationName) : std::string(name);
}

}  // namespace fwu
