#pragma once

#include <cstdint>

namespace fwu {

// Which way the data phase of a command goes, seen from the host.
enum class DataDirection : std::uint8_t { kNone, kIn, kOut };

}  // namespace fwu
