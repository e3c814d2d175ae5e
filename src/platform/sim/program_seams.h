#pragma once

#include <functional>
#include <memory>
#include <thread>

#include "platform/dialog_host.h"
#include "platform/platform.h"
#include "platform/system_services.h"

namespace fwu::sim {

class SimulatedPc;

// What a program started on the simulated PC is given of it: the PC's registry, clock, threads,
// storage driver and ASPI manager, each call failing when the PC's faults say so, registry
// writes reported to an observer, and an eye on the program's own thread while an update
// worker runs.
class ProgramSeams {
 public:
  explicit ProgramSeams(SimulatedPc& pc);
  ~ProgramSeams();
  ProgramSeams(const ProgramSeams&) = delete;
  ProgramSeams& operator=(const ProgramSeams&) = delete;

  platform::Platform PlatformFor(platform::DialogHost& dialogs, platform::SystemServices& services);
  void SetRegistryWriteObserver(std::function<void()> observer);

  // The program's own thread: the one that runs its dialogs.
  void SetProgramThread(std::thread::id thread);
  int ProgramThreadSleepsDuringWorker() const;

 private:
  class ObservedRegistry;
  class NoAspiLibrary;
  class ProgramThreads;
  class FaultyAspiLibrary;
  class FaultyPassThroughDriver;

  SimulatedPc& pc_;
  std::unique_ptr<ObservedRegistry> registry_;
  std::unique_ptr<ProgramThreads> threads_;
  std::unique_ptr<NoAspiLibrary> no_aspi_;
  std::unique_ptr<FaultyAspiLibrary> aspi_;
  std::unique_ptr<FaultyPassThroughDriver> pass_through_;
};

}  // namespace fwu::sim
