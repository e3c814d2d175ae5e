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

namespace {

// Where standard INQUIRY data keep their texts.
constexpr std::size_t kVendorOffset = 8;
constexpr std::size_t kProductOffset = 16;
constexpr std::size_t kProductLength = 16;
constexpr std::size_t kRevisionOffset = 32;
constexpr std::size_t kRevisionLength = 4;
constexpr std::size_t kIdentityLength = kRevisionOffset + kRevisionLength - kVendorOffset;

}  // namespace

std::string ProductText(std::span<const std::uint8_t> inquiry_data) {
  return TextAt(inquiry_data, kProductOffset, kProductLength);
}

std::string RevisionText(std::span<const std::uint8_t> inquiry_data) {
  return TextAt(inquiry_data, kRevisionOffset, kRevisionLength);
}

bool ProductIsTarget(std::span<const std::uint8_t> inquiry_data) {
  return ProductText(inquiry_data).find(kTargetProduct) != std::string::npos;
}

std::string IdentityText(std::span<const std::uint8_t> inquiry_data) {
  return TextAt(inquiry_data, kVendorOffset, kIdentityLength);
}

}  // namespace fwu
