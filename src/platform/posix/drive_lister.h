#pragma once

#include <string>
#include <vector>

namespace fwu::posix {

// The system's optical drives, each by the device node its commands go to.
class DriveLister {
 public:
  virtual ~DriveLister() = default;
  virtual std::vector<std::string> OpticalDrivePaths() = 0;
};

}  // namespace fwu::posix
