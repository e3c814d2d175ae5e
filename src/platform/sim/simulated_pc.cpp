#include "platform/sim/simulated_pc.h"

#include <string_view>
#include <thread>
#include <utility>

#include "platform/sim/program_seams.h"

namespace fwu::sim {

// Hands every command to the emulated drive and tells the observer what the drive did.
class SimulatedPc::ObservedDevice final : public emulator::ScsiDevice {
 public:
  ObservedDevice(SimulatedPc& pc, std::size_t number, emulator::EmulatedDrive& drive)
      : pc_(pc), number_(number), drive_(drive) {}

  emulator::CommandOutcome Execute(std::span<const std::uint8_t> cdb, DataDirection direction,
                                   std::span<std::uint8_t> data) override {
    const emulator::CommandOutcome outcome = drive_.Execute(cdb, direction, data);
    if (pc_.observer_) {
      if (const std::optional<emulator::CommandRecord> record = drive_.Log().Last()) {
        pc_.observer_(number_, *record);
      }
    }
    return outcome;
  }

 private:
  SimulatedPc& pc_;
  std::size_t number_;
  emulator::EmulatedDrive& drive_;
};

namespace {

// The current user's Run key, which every Windows has.
constexpr std::string_view kRunKeyPath = "Software\\Microsoft\\Windows\\CurrentVersion\\run";

}  // namespace

SimulatedPc::SimulatedPc(const platform::OsVersion& version, int ansi_code_page,
                         KnownFirmware firmware, TimeMode time)
    : locale(ansi_code_page),
      ansi_code_page_(ansi_code_page),
      time_(time),
      firmware_(std::move(firmware)) {
  system.version = version;
  system.faults = &faults;
  const bool nt = version.platform_id == platform::kPlatformWindowsNt;
  registry.SetFamily(nt ? RegistryFamily::kNt : RegistryFamily::kWindows9x);
  // What every Windows has before the program ever ran.
  registry.PutKey(platform::kHkeyCurrentUser, kRunKeyPath);
  registry.PutKey(platform::kHkeyLocalMachine, "Software\\Microsoft");
  if (time == TimeMode::kVirtual) {
    virtual_clock_ = std::make_unique<VirtualClock>();
    pass_through_ = std::make_unique<SimPassThroughDriver>(*virtual_clock_);
    aspi_ = std::make_unique<SimAspiManager>(*virtual_clock_);
  } else {
    real_clock_ = std::make_unique<portable::StdClock>();
    pass_through_ = std::make_unique<SimPassThroughDriver>(*real_clock_);
  }
  seams_ = std::make_unique<ProgramSeams>(*this);
}

SimulatedPc::~SimulatedPc() {
  // Requests still under way finish while the drives exist.
  FinishThreads();
  seams_.reset();
  aspi_.reset();
}

void SimulatedPc::FinishThreads() {
  if (virtual_clock_) {
    virtual_clock_->FinishThreads();
  } else {
    real_clock_->FinishThreads();
  }
}

void SimulatedPc::StartProcess() {
  seams_->SetProgramThread(std::this_thread::get_id());
}

void SimulatedPc::SetRegistryWriteObserver(std::function<void()> observer) {
  seams_->SetRegistryWriteObserver(std::move(observer));
}

int SimulatedPc::ProgramThreadSleepsDuringWorker() const {
  return seams_->ProgramThreadSleepsDuringWorker();
}

platform::Clock& SimulatedPc::Clock() {
  return virtual_clock_ ? static_cast<platform::Clock&>(*virtual_clock_) : *real_clock_;
}

platform::Threads& SimulatedPc::Threads() {
  return virtual_clock_ ? static_cast<platform::Threads&>(*virtual_clock_) : *real_clock_;
}

emulator::EmulatedDrive& SimulatedPc::AddDrive(DriveSlot slot, emulator::DriveConfig config) {
  PcDrive& added = drives_.emplace_back();
  added.slot = slot;
  added.drive = std::make_unique<emulator::EmulatedDrive>(std::move(config));
  added.drive->KnowFirmware(firmware_.image, firmware_.identity);
  if (virtual_clock_) {
    VirtualClock& clock = *virtual_clock_;
    added.drive->SetTimeSource([&clock] { return clock.NowMilliseconds(); });
  } else {
    portable::StdClock& clock = *real_clock_;
    added.drive->SetTimeSource([&clock] { return std::uint64_t{clock.TickCount()}; });
  }
  added.device = std::make_unique<ObservedDevice>(*this, drives_.size() - 1, *added.drive);
  pass_through_->AttachDrive(slot.letter, *added.device);
  if (aspi_) {
    while (adapters_.size() <= slot.host_adapter) {
      aspi_->AddHostAdapter();
      adapters_.push_back(true);
    }
    aspi_->AttachDevice(slot.host_adapter, slot.target, *added.device);
  }
  return *added.drive;
}

platform::Platform SimulatedPc::PlatformFor(platform::DialogHost& dialogs,
                                            platform::SystemServices& services) {
  return seams_->PlatformFor(dialogs, services);
}

void SimulatedPc::Restart() {
  for (PcDrive& drive : drives_) {
    drive.drive->PowerCycle();
  }
  system.exit_request.reset();
  system.privilege_calls.clear();
  ++system.process_id;
}

}  // namespace fwu::sim
