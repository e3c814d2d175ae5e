#include "drive/identity.h"

#include <algorithm>

namespace fwu {

std::string TextAt(std::span<const std::uint8_t> data, std::size_t offset, std::size_t max_length) {
  if (offset >= data.size()) {
    return {};
  }
  const auto window = data.subspan(offset, std::min(max_length, data.size() - offset));
  const auto end = std::find(window.begin(), window.end(), std::uint8_t{0});
  return {window.begin(), end};
}

bool ProductIsTarget(std::span<const std::uint8_t> inquiry_data) {
  return TextAt(inquiry_data, 16, 16).find(kTargetProduct) != std::string::npos;
}

std::string IdentityText(std::span<const std::uint8_t> inquiry_data) {
  return TextAt(inquiry_data, 8, 28);
}

}  // namespace fwu
