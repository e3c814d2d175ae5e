#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "emulator/command_log.h"
#include "emulator/emulated_drive.h"
#include "platform/aspi_library.h"
#include "platform/dialog_host.h"
#include "platform/platform.h"
#include "platform/portable/std_clock.h"
#include "platform/sim/sim_aspi_manager.h"
#include "platform/sim/sim_locale.h"
#include "platform/sim/sim_pass_through_driver.h"
#include "platform/sim/sim_registry.h"
#include "platform/sim/sim_system_services.h"
#include "platform/sim/system_call_faults.h"
#include "platform/sim/virtual_clock.h"

namespace fwu::sim {

enum class TimeMode : std::uint8_t { kVirtual, kReal };

// Where a drive sits: its letter on the NT family, its adapter and target under ASPI.
struct DriveSlot {
  char letter = 'E';
  std::uint8_t host_adapter = 0;
  std::uint8_t target = 1;
};

// The firmware the PC's drives know: a download of exactly these bytes makes a drive report
// this identity from then on.
struct KnownFirmware {
  std::vector<std::uint8_t> image;
  emulator::FirmwareIdentity identity;
};

class ProgramSeams;

// A whole simulated PC for the program: Windows of one version with its registry, services and
// code page, emulated drives behind both the pass-through driver and the ASPI manager, and a
// clock. The program runs on it as Windows would run it: one process per start, a restart
// powers the drives off and on, and at logon the Run entry starts the program again when it
// names it.
//
// In virtual time the thread that builds the PC must be the one that runs the program. Real
// time is offered on the NT family only: the simulated ASPI manager works on virtual time.
//
// Every call of the program that can fail on a real system (registry, threads and signals, the
// ASPI manager's library, memory and events, the storage devices, the kernel's services) asks
// `faults` first, and fails when told to; dialogs and their timers do when the dialog host is
// given the same faults.
class SimulatedPc {
 public:
  // Called after every command a drive executed, with the drive's number and its record.
  using CommandObserver = std::function<void(std::size_t drive, const emulator::CommandRecord&)>;

  SimulatedPc(const platform::OsVersion& version, int ansi_code_page, KnownFirmware firmware,
              TimeMode time = TimeMode::kVirtual);
  ~SimulatedPc();
  SimulatedPc(const SimulatedPc&) = delete;
  SimulatedPc& operator=(const SimulatedPc&) = delete;

  bool IsNt() const { return system.version.platform_id == platform::kPlatformWindowsNt; }
  // The system's ANSI code page (the locale shows only multibyte ones to the program).
  int AnsiCodePage() const { return ansi_code_page_; }
  TimeMode Time() const { return time_; }
  platform::Clock& Clock();
  platform::Threads& Threads();
  // Null in real time.
  VirtualClock* Virtual() { return virtual_clock_.get(); }
  SimPassThroughDriver& PassThrough() { return *pass_through_; }
  // Null in real time.
  SimAspiManager* Aspi() { return aspi_.get(); }

  // A drive that knows the PC's known firmware, so that a download of it succeeds and changes
  // what the drive reports.
  emulator::EmulatedDrive& AddDrive(DriveSlot slot, emulator::DriveConfig config);
  std::size_t DriveCount() const { return drives_.size(); }
  emulator::EmulatedDrive& Drive(std::size_t n) { return *drives_.at(n).drive; }
  const emulator::EmulatedDrive& Drive(std::size_t n) const { return *drives_.at(n).drive; }
  const DriveSlot& SlotOf(std::size_t n) const { return drives_.at(n).slot; }
  void SetCommandObserver(CommandObserver observer) { observer_ = std::move(observer); }
  // Called after every registry call of the program that changed the registry.
  void SetRegistryWriteObserver(std::function<void()> observer);

  // The platform bundle of one program instance, with its dialogs on `dialogs`.
  platform::Platform PlatformFor(platform::DialogHost& dialogs, platform::SystemServices& services);
  platform::Platform PlatformFor(platform::DialogHost& dialogs) {
    return PlatformFor(dialogs, system);
  }

  // A program's process starts on the calling thread, the one that runs its dialogs.
  void StartProcess();
  // The process ends: its threads run to their end first.
  void FinishThreads();

  // The restart of Windows: the drives lose power and come back, the request is cleared.
  void Restart();

  // How often the program's own thread (the one that runs its dialogs) slept while an update
  // worker ran: a thread that sleeps there handles no window message, so the shutdown guard
  // cannot answer.
  int ProgramThreadSleepsDuringWorker() const;

  SimRegistry registry;
  SimSystemServices system;
  SimLocale locale;
  SystemCallFaults faults;

 private:
  class ObservedDevice;
  struct PcDrive {
    DriveSlot slot;
    std::unique_ptr<emulator::EmulatedDrive> drive;
    std::unique_ptr<ObservedDevice> device;
  };

  int ansi_code_page_;
  TimeMode time_;
  std::unique_ptr<VirtualClock> virtual_clock_;
  std::unique_ptr<portable::StdClock> real_clock_;
  std::unique_ptr<SimPassThroughDriver> pass_through_;
  std::unique_ptr<SimAspiManager> aspi_;
  KnownFirmware firmware_;
  std::vector<PcDrive> drives_;
  std::vector<bool> adapters_;
  CommandObserver observer_;
  std::unique_ptr<ProgramSeams> seams_;
};

}  // namespace fwu::sim
