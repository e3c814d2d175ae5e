#include "app/program.h"

namespace fwu {

Program::Program(platform::Platform& platform, std::span<const FirmwareImage> images)
    : aspi_(platform.aspi, platform.system, platform.dialogs, platform.locale, platform.clock),
      pass_through_(platform.pass_through, platform.locale),
      transport_(aspi_, pass_through_),
      application_(platform, transport_, images) {}

int Program::Run() {
  application_.StartupSequence();
  return application_.ExitStep();
}

void Program::SetTraceSink(TraceSink* sink) {
  aspi_.SetTraceSink(sink);
  pass_through_.SetTraceSink(sink);
}

}  // namespace fwu
