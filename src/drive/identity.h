#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace fwu {

// The one drive model the program serves, as its INQUIRY product identification reads.
inline constexpr std::string_view kTargetProduct = "DVD-ROM XT-M7731";
inline constexpr std::string_view kTargetVendor = "QUENTAR ";

// Discovery and the checks ask for 44 bytes of standard INQUIRY data.
inline constexpr std::uint8_t kIdentificationInquiryBytes = 44;

// Text of at most max_length characters starting at offset, ending early at a zero byte, as a
// "%.Ns" conversion reads it. Offsets past the data give an empty text.
std::string TextAt(std::span<const std::uint8_t> data, std::size_t offset, std::size_t max_length);

// Write-once (4), CD/DVD (5) and optical memory (7) devices are the optical ones.
constexpr bool IsOpticalPeripheral(std::uint8_t byte0) {
  const std::uint8_t type = byte0 & 0x1FU;
  return type == 4 || type == 5 || type == 7;
}

// The product identification (bytes 16-31), at most 16 characters.
std::string ProductText(std::span<const std::uint8_t> inquiry_data);
// The product revision level (bytes 32-35), at most 4 characters.
std::string RevisionText(std::span<const std::uint8_t> inquiry_data);

// The product identification contains the target model.
bool ProductIsTarget(std::span<const std::uint8_t> inquiry_data);

// An identity text (IdentityText) that opens with the target vendor. Only drives of that vendor
// receive the start-up search's commands.
constexpr bool VendorIsTarget(std::string_view identity) {
  return identity.substr(0, kTargetVendor.size()) == kTargetVendor;
}

// Vendor, product and revision (bytes 8-35) as one text of at most 28 characters.
std::string IdentityText(std::span<const std::uint8_t> inquiry_data);

}  // namespace fwu
