#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace fwu::emulator {

// The drive answers INQUIRY with this much standard data at most.
inline constexpr std::size_t kInquiryDataBytes = 96;

// Standard INQUIRY identity, space-padded as a drive returns it.
struct DeviceIdentity {
  std::string vendor = "QUENTAR ";           // 8 characters
  std::string product = "DVD-ROM XT-M7731";  // 16 characters
  std::string revision = "1029";             // 4 characters
  std::uint8_t peripheral_type = 5;          // 5: CD/DVD
  bool removable = true;
  // Vendor-specific bytes from byte 36 on, as many as given (at most 20); none by default.
  std::string vendor_specific;
};

// Standard INQUIRY data: device type, removable medium, ATAPI-style version bytes, the
// additional length, and vendor, product and revision cut or blank-padded to their fields.
// `revision` is the firmware's current revision, which a download changes.
std::array<std::uint8_t, kInquiryDataBytes> StandardInquiryData(const DeviceIdentity& identity,
                                                                const std::string& revision);

}  // namespace fwu::emulator
