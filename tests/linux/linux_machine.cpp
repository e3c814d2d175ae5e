#include "linux_machine.h"

#include <cerrno>
#include <span>

#include "programs/linux/updater.h"
#include "support/drive_rig.h"

namespace fwu::test {
namespace {

class CountedHold final : public posix::Hold {
 public:
  explicit CountedHold(int& holds) : holds_(holds) { ++holds_; }
  ~CountedHold() override { --holds_; }
  CountedHold(const CountedHold&) = delete;
  CountedHold& operator=(const CountedHold&) = delete;

 private:
  int& holds_;
};

}  // namespace

posix::Reservation FakeSafety::ReserveInstance() {
  if (another_copy) {
    return posix::Reservation{.refusal =
                                  "another copy of the program is running: wait until it "
                                  "has ended"};
  }
  return posix::Reservation{.hold = std::make_unique<CountedHold>(holds)};
}

posix::Reservation FakeSafety::Reserve(const std::string& device, posix::ReserveFor purpose) {
  reserved.emplace_back(device, purpose);
  if (!refusal.empty()) {
    return posix::Reservation{.refusal = refusal};
  }
  return posix::Reservation{.hold = std::make_unique<CountedHold>(holds)};
}

posix::Inhibition FakeSafety::InhibitShutdown(const std::string& /*who*/,
                                              const std::string& /*why*/) {
  ++inhibitions;
  if (!inhibitor_warning.empty()) {
    return posix::Inhibition{.warning = inhibitor_warning};
  }
  return posix::Inhibition{.hold = std::make_unique<CountedHold>(holds)};
}

std::optional<std::string> ScriptedInterruptions::Wait(std::uint32_t timeout_ms) {
  const auto arrived = [this]() -> std::optional<std::string> {
    for (auto it = arrivals.begin(); it != arrivals.end(); ++it) {
      if (it->first <= clock.NowMilliseconds()) {
        std::string name = it->second;
        arrivals.erase(it);
        return name;
      }
    }
    return std::nullopt;
  };
  if (auto signal = arrived()) {
    return signal;
  }
  if (timeout_ms != 0) {
    clock.Sleep(timeout_ms);
  }
  return arrived();
}

LinuxMachine::LinuxMachine(std::string locale_name) : locale(std::move(locale_name)) {}

LinuxMachine::~LinuxMachine() {
  clock.FinishThreads();
}

emulator::EmulatedDrive& LinuxMachine::AddDrive(const std::string& path,
                                                emulator::DriveConfig config) {
  emulator::EmulatedDrive& drive = io.AddDrive(path, std::move(config));
  drive.KnowFirmware(PlainImage(), emulator::FirmwareIdentity{"1033", 32});
  lister.paths.push_back(path);
  return drive;
}

int LinuxMachine::Run(std::vector<std::string> arguments, const std::string& input) {
  in.clear();
  in.str(input);
  out.str("");
  err.str("");
  linux_program::Environment environment{
      .drives = driver,
      .clock = clock,
      .threads = clock,
      .locale = locale,
      .safety = safety,
      .interruptions = interruptions,
      .terminal = {.in = in, .out = out, .err = err, .out_is_terminal = false},
  };
  linux_program::Updater updater(environment);
  return updater.Run(arguments);
}

}  // namespace fwu::test
