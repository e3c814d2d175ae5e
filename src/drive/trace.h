#pragma once

#include <string_view>

namespace fwu {

// Where the drive layer's trace points write. The program ships with the trace switched off
// (no sink); the simulated PC can point it at a log to show every command on the wire.
class TraceSink {
 public:
  virtual ~TraceSink() = default;
  virtual void Write(std::string_view text) = 0;
};

}  // namespace fwu
