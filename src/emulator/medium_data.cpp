#include "emulator/medium_data.h"

#include <array>

namespace fwu::emulator {

void FillMediumBlock(std::uint32_t block_address,
                     std::span<std::uint8_t, kMediumBlockBytes> block) {
  constexpr std::array<char, 16> kHexDigits{'0', '1', '2', '3', '4', '5', '6', '7',
                                            '8', '9', 'A', 'B', 'C', 'D', 'E', 'F'};
  constexpr std::size_t kBannerBytes = 16;
  std::size_t at = 0;
  for (const char c : {'L', 'B', 'A', ' '}) {
    block[at++] = static_cast<std::uint8_t>(c);
  }
  for (int shift = 28; shift >= 0; shift -= 4) {
    block[at++] = static_cast<std::uint8_t>(kHexDigits[(block_address >> shift) & 0x0FU]);
  }
  while (at < kBannerBytes) {
    block[at++] = ' ';
  }
  for (; at < block.size(); ++at) {
    block[at] = static_cast<std::uint8_t>(block_address + at);
  }
}

}  // namespace fwu::emulator
