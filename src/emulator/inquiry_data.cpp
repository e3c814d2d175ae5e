#include "emulator/inquiry_data.h"

#include <algorithm>
#include <span>

namespace fwu::emulator {

namespace {

void PutField(std::span<std::uint8_t> field, const std::string& text) {
  std::fill(field.begin(), field.end(), static_cast<std::uint8_t>(' '));
  std::copy_n(text.begin(), std::min(text.size(), field.size()), field.begin());
}

}  // namespace

std::array<std::uint8_t, kInquiryDataBytes> StandardInquiryData(const DeviceIdentity& identity,
                                                                const std::string& revision) {
  std::array<std::uint8_t, kInquiryDataBytes> data{};
  const std::span<std::uint8_t> bytes(data);
  data[0] = identity.peripheral_type & 0x1FU;
  data[1] = identity.removable ? 0x80 : 0x00;
  data[2] = 0x00;  // no ANSI version claimed, as ATAPI drives answer
  data[3] = 0x32;  // ATAPI version 3, response data format 2
  data[4] = kInquiryDataBytes - 5;
  PutField(bytes.subspan(8, 8), identity.vendor);
  PutField(bytes.subspan(16, 16), identity.product);
  PutField(bytes.subspan(32, 4), revision);
  const std::span<std::uint8_t> vendor_specific = bytes.subspan(36, 20);
  std::copy_n(identity.vendor_specific.begin(),
              std::min(identity.vendor_specific.size(), vendor_specific.size()),
              vendor_specific.begin());
  return data;
}

}  // namespace fwu::emulator
