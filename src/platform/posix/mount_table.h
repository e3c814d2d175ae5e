#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fwu::posix {

// The mount points of the file systems on the block device major:minor, from the text of
// /proc/self/mountinfo; escaped characters ("\040" for a blank) are given back.
std::vector<std::string> MountPointsOf(std::string_view mountinfo, std::uint32_t major,
                                       std::uint32_t minor);

}  // namespace fwu::posix
