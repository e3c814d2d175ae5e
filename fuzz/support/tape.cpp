#include "support/tape.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace fwu::fuzz {

std::uint8_t Tape::Byte(std::uint8_t planned) {
  if (recording_) {
    recorded_.push_back(planned);
    return planned;
  }
  if (position_ < input_.size()) {
    return input_[position_++];
  }
  ++overrun_;
  return 0;
}

std::uint16_t Tape::U16(std::uint16_t planned) {
  const std::uint16_t low = Byte(static_cast<std::uint8_t>(planned));
  const std::uint16_t high = Byte(static_cast<std::uint8_t>(planned >> 8U));
  return static_cast<std::uint16_t>(low | (high << 8U));
}

std::uint32_t Tape::U32(std::uint32_t planned) {
  const std::uint32_t low = U16(static_cast<std::uint16_t>(planned));
  const std::uint32_t high = U16(static_cast<std::uint16_t>(planned >> 16U));
  return low | (high << 16U);
}

std::size_t Tape::Choice(std::size_t count, std::size_t planned) {
  if (count <= 1) {
    return 0;
  }
  if (count <= 0x100) {
    return Byte(static_cast<std::uint8_t>(planned)) % count;
  }
  return U16(static_cast<std::uint16_t>(planned)) % count;
}

std::string Tape::Text(std::size_t max_length, std::string_view planned) {
  const std::size_t length = Choice(max_length + 1, std::min(planned.size(), max_length));
  std::string text(length, '\0');
  for (std::size_t i = 0; i < length; ++i) {
    text[i] = static_cast<char>(
        Byte(i < planned.size() ? static_cast<std::uint8_t>(planned[i]) : std::uint8_t{0}));
  }
  return text;
}

void Tape::Fill(std::span<std::uint8_t> out, std::span<const std::uint8_t> planned) {
  if (!recording_) {
    const std::size_t available = input_.size() - std::min(position_, input_.size());
    const std::size_t taken = std::min(out.size(), available);
    std::copy_n(input_.begin() + static_cast<std::ptrdiff_t>(position_), taken, out.begin());
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(taken), out.end(), std::uint8_t{0});
    position_ += taken;
    overrun_ += out.size() - taken;
    return;
  }
  for (std::size_t i = 0; i < out.size(); ++i) {
    out[i] = Byte(i < planned.size() ? planned[i] : std::uint8_t{0});
  }
}

void Violation(std::string_view what) {
  std::fprintf(stderr, "fuzz: rule broken: %.*s\n", static_cast<int>(what.size()), what.data());
  std::abort();
}

}  // namespace fwu::fuzz
