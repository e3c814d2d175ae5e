#pragma once

#include <span>

#include "app/application.h"
#include "drive/aspi_transport.h"
#include "drive/drive_transport.h"
#include "drive/pass_through_transport.h"
#include "drive/trace.h"
#include "platform/platform.h"
#include "update/firmware_image.h"

namespace fwu {

// The whole program over one platform: the objects it builds at load, in their order (the
// DriveTransport with both transports, whose ASPI side binds the library on Windows 9x as it
// is built, then the application object), and one run of them. Every entry point, the Windows
// program's and the simulated PC's, goes through here.
class Program {
 public:
  explicit Program(platform::Platform& platform,
                   std::span<const FirmwareImage> images = ImageList());
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // The start-up sequence, which settles the whole run, then the exit step; returns the
  // process's exit code.
  int Run();

  // Every drive command of both transports goes to the sink as well; null switches it off.
  void SetTraceSink(TraceSink* sink);

  DriveTransport& Transport() { return transport_; }
  const Application& App() const { return application_; }

 private:
  AspiTransport aspi_;
  PassThroughTransport pass_through_;
  DriveTransport transport_;
  Application application_;
};

}  // namespace fwu
