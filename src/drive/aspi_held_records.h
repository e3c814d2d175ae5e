#pragma once

#include <cstddef>
#include <vector>

#include "platform/aspi_library.h"

namespace fwu {

// Records that the ASPI library may still write to after the transport stopped waiting for
// them, each with the completion event and the data buffer the library may still touch. None
// of them is released or reused until its status byte shows that the library has let go.
class AspiHeldRecords {
 public:
  explicit AspiHeldRecords(platform::AspiLibrary& aspi) : aspi_(aspi) {}
  // What is still held at the end stays allocated: the library may write to it until the
  // process ends.
  ~AspiHeldRecords() { ReleaseSettled(); }
  AspiHeldRecords(const AspiHeldRecords&) = delete;
  AspiHeldRecords& operator=(const AspiHeldRecords&) = delete;

  // event and buffer may be null.
  void Hold(void* record, platform::EventHandle event, void* buffer);
  // Releases every record the library has completed, with its event and buffer.
  void ReleaseSettled();
  std::size_t Count() const { return held_.size(); }

 private:
  struct Held {
    void* record;
    platform::EventHandle event;
    void* buffer;
  };

  platform::AspiLibrary& aspi_;
  std::vector<Held> held_;
};

}  // namespace fwu
