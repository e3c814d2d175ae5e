#include "platform/sim/simulated_pc.h"

#include <array>
#include <atomic>
#include <string_view>
#include <utility>

#include "app/application_name.h"
#include "app/program.h"
#include "app/resume_state.h"
#include "update/image_codec.h"

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

// The registry as the program sees it: the PC's own, with the observer told of each write.
class SimulatedPc::ObservedRegistry final : public platform::Registry {
 public:
  explicit ObservedRegistry(SimulatedPc& pc) : pc_(pc) {}

  std::int32_t OpenKey(platform::RegistryHandle parent, const char* path, std::uint32_t access,
                       platform::RegistryHandle& key) override {
    if (pc_.faults.Fails(SystemCall::kRegistryOpen)) {
      key = 0;
      return platform::kRegErrorAccessDenied;
    }
    return Observed([&] { return pc_.registry.OpenKey(parent, path, access, key); });
  }
  std::int32_t CreateKey(platform::RegistryHandle parent, const char* path, std::uint32_t access,
                         platform::RegistryHandle& key) override {
    if (pc_.faults.Fails(SystemCall::kRegistryOpen)) {
      key = 0;
      return platform::kRegErrorAccessDenied;
    }
    return Observed([&] { return pc_.registry.CreateKey(parent, path, access, key); });
  }
  std::int32_t QueryValue(platform::RegistryHandle key, const char* name, std::uint32_t* type,
                          std::uint8_t* data, std::uint32_t* size) override {
    if (pc_.faults.Fails(SystemCall::kRegistryRead)) {
      return platform::kRegErrorIoFailed;
    }
    return pc_.registry.QueryValue(key, name, type, data, size);
  }
  std::int32_t SetValue(platform::RegistryHandle key, const char* name, std::uint32_t type,
                        const std::uint8_t* data, std::uint32_t size) override {
    if (pc_.faults.Fails(SystemCall::kRegistryWrite)) {
      return platform::kRegErrorIoFailed;
    }
    return Observed([&] { return pc_.registry.SetValue(key, name, type, data, size); });
  }
  std::int32_t EnumKey(platform::RegistryHandle key, std::uint32_t index, char* name,
                       std::uint32_t* name_size) override {
    if (pc_.faults.Fails(SystemCall::kRegistryRead)) {
      return platform::kRegErrorIoFailed;
    }
    return pc_.registry.EnumKey(key, index, name, name_size);
  }
  std::int32_t DeleteKey(platform::RegistryHandle key, const char* subkey) override {
    if (pc_.faults.Fails(SystemCall::kRegistryDelete)) {
      return platform::kRegErrorIoFailed;
    }
    return Observed([&] { return pc_.registry.DeleteKey(key, subkey); });
  }
  std::int32_t DeleteValue(platform::RegistryHandle key, const char* name) override {
    if (pc_.faults.Fails(SystemCall::kRegistryDelete)) {
      return platform::kRegErrorIoFailed;
    }
    return Observed([&] { return pc_.registry.DeleteValue(key, name); });
  }
  std::int32_t CloseKey(platform::RegistryHandle key) override {
    return pc_.registry.CloseKey(key);
  }

 private:
  template <typename Call>
  std::int32_t Observed(Call call) {
    const std::uint32_t before = pc_.registry.WriteCount();
    const std::int32_t result = call();
    if (pc_.registry.WriteCount() != before && pc_.registry_observer_) {
      pc_.registry_observer_();
    }
    return result;
  }

  SimulatedPc& pc_;
};

// The NT family in real time: there is no ASPI manager to load, as on a real NT system.
class SimulatedPc::NoAspiLibrary final : public platform::AspiLibrary {
 public:
  platform::ModuleHandle LoadAspi(const char* /*file_name*/) override { return 0; }
  void FreeAspi(platform::ModuleHandle /*module*/) override {}
  bool HasEntryPoint(platform::ModuleHandle /*module*/, const char* /*name*/) override {
    return false;
  }
  std::uint32_t GetSupportInfo(platform::ModuleHandle /*module*/) override { return 0; }
  std::uint32_t SendCommand(platform::ModuleHandle /*module*/, void* /*request*/) override {
    return 0;
  }
  void* AllocateLocked(std::size_t /*bytes*/) override { return nullptr; }
  void ReleaseLocked(void* /*memory*/) override {}
  platform::EventHandle CreateCompletionEvent() override { return nullptr; }
  bool WaitForCompletion(platform::EventHandle /*event*/, std::uint32_t /*timeout_ms*/) override {
    return false;
  }
  void ResetCompletionEvent(platform::EventHandle /*event*/) override {}
  void CloseCompletionEvent(platform::EventHandle /*event*/) override {}
  void PumpWindowMessage(std::uint32_t /*wait_ms*/) override {}
};

// The program's threads and clock: the PC's own, with thread and signal calls failing as the
// faults say, and an eye on the program's own thread while an update worker runs.
class SimulatedPc::ProgramThreads final : public platform::Clock, public platform::Threads {
 public:
  explicit ProgramThreads(SimulatedPc& pc) : pc_(pc) {}

  std::uint32_t TickCount() override { return pc_.Clock().TickCount(); }
  std::int64_t CalendarSeconds() override { return pc_.Clock().CalendarSeconds(); }
  void Sleep(std::uint32_t milliseconds) override {
    if (milliseconds > 0 && workers_running_.load() > 0 &&
        std::this_thread::get_id() == pc_.program_thread_) {
      ++pc_.program_thread_sleeps_;
    }
    pc_.Clock().Sleep(milliseconds);
  }

  platform::ThreadHandle CreateSuspended(Entry entry) override {
    if (pc_.faults.Fails(SystemCall::kThreadCreate)) {
      return 0;
    }
    return pc_.Threads().CreateSuspended([this, entry = std::move(entry)] {
      ++workers_running_;
      const std::uint32_t code = entry();
      --workers_running_;
      return code;
    });
  }
  std::uint32_t Resume(platform::ThreadHandle thread) override {
    return pc_.faults.Fails(SystemCall::kThreadResume) ? platform::kResumeFailed
                                                       : pc_.Threads().Resume(thread);
  }
  platform::ThreadHandle Duplicate(platform::ThreadHandle thread) override {
    return pc_.faults.Fails(SystemCall::kThreadDuplicate) ? 0 : pc_.Threads().Duplicate(thread);
  }
  bool ExitCode(platform::ThreadHandle thread, std::uint32_t& code) override {
    return !pc_.faults.Fails(SystemCall::kThreadExitCode) && pc_.Threads().ExitCode(thread, code);
  }
  void CloseThread(platform::ThreadHandle thread) override { pc_.Threads().CloseThread(thread); }
  platform::SignalHandle CreateSignal() override {
    return pc_.faults.Fails(SystemCall::kSignalCreate) ? 0 : pc_.Threads().CreateSignal();
  }
  bool GiveSignal(platform::SignalHandle signal) override {
    return !pc_.faults.Fails(SystemCall::kSignalGive) && pc_.Threads().GiveSignal(signal);
  }
  bool WaitForSignal(platform::SignalHandle signal) override {
    return !pc_.faults.Fails(SystemCall::kSignalWait) && pc_.Threads().WaitForSignal(signal);
  }
  void CloseSignal(platform::SignalHandle signal) override { pc_.Threads().CloseSignal(signal); }

 private:
  SimulatedPc& pc_;
  std::atomic<int> workers_running_{0};
};

// The ASPI manager as the program loads it: its library, entry points, memory and events fail
// as the faults say.
class SimulatedPc::FaultyAspiLibrary final : public platform::AspiLibrary {
 public:
  FaultyAspiLibrary(platform::AspiLibrary& inner, SystemCallFaults& faults)
      : inner_(inner), faults_(faults) {}

  platform::ModuleHandle LoadAspi(const char* file_name) override {
    return faults_.Fails(SystemCall::kLibraryLoad) ? 0 : inner_.LoadAspi(file_name);
  }
  void FreeAspi(platform::ModuleHandle module) override { inner_.FreeAspi(module); }
  bool HasEntryPoint(platform::ModuleHandle module, const char* name) override {
    return !faults_.Fails(SystemCall::kEntryPoint) && inner_.HasEntryPoint(module, name);
  }
  std::uint32_t GetSupportInfo(platform::ModuleHandle module) override {
    return inner_.GetSupportInfo(module);
  }
  std::uint32_t SendCommand(platform::ModuleHandle module, void* request_record) override {
    return inner_.SendCommand(module, request_record);
  }
  void* AllocateLocked(std::size_t bytes) override {
    return faults_.Fails(SystemCall::kLockedMemory) ? nullptr : inner_.AllocateLocked(bytes);
  }
  void ReleaseLocked(void* memory) override { inner_.ReleaseLocked(memory); }
  platform::EventHandle CreateCompletionEvent() override {
    return faults_.Fails(SystemCall::kCompletionEvent) ? nullptr : inner_.CreateCompletionEvent();
  }
  bool WaitForCompletion(platform::EventHandle event, std::uint32_t timeout_ms) override {
    return inner_.WaitForCompletion(event, timeout_ms);
  }
  void ResetCompletionEvent(platform::EventHandle event) override {
    inner_.ResetCompletionEvent(event);
  }
  void CloseCompletionEvent(platform::EventHandle event) override {
    inner_.CloseCompletionEvent(event);
  }
  void PumpWindowMessage(std::uint32_t wait_ms) override { inner_.PumpWindowMessage(wait_ms); }

 private:
  platform::AspiLibrary& inner_;
  SystemCallFaults& faults_;
};

// The storage driver as the program opens it: opening a device and its control requests fail
// as the faults say, with the error codes Windows gives.
class SimulatedPc::FaultyPassThroughDriver final : public platform::PassThroughDriver {
 public:
  FaultyPassThroughDriver(platform::PassThroughDriver& inner, SystemCallFaults& faults)
      : inner_(inner), faults_(faults) {}

  std::uint32_t DriveTypeOf(const char* root) override { return inner_.DriveTypeOf(root); }
  platform::DeviceHandle OpenDevice(const char* device_name) override {
    fault_error_.reset();
    if (faults_.Fails(SystemCall::kDeviceOpen)) {
      fault_error_ = platform::kErrorAccessDenied;
      return platform::kInvalidDevice;
    }
    return inner_.OpenDevice(device_name);
  }
  bool SendIoControl(platform::DeviceHandle device, std::uint32_t control_code, void* input,
                     std::uint32_t input_size, void* output, std::uint32_t output_size,
                     std::uint32_t* bytes_returned) override {
    fault_error_.reset();
    if (faults_.Fails(SystemCall::kIoControl)) {
      fault_error_ = kErrorIoDevice;
      return false;
    }
    return inner_.SendIoControl(device, control_code, input, input_size, output, output_size,
                                bytes_returned);
  }
  void CloseDevice(platform::DeviceHandle device) override { inner_.CloseDevice(device); }
  std::uint32_t LastError() override { return fault_error_.value_or(inner_.LastError()); }
  std::uint32_t SystemMessageText(std::uint32_t error_code, char* buffer,
                                  std::uint32_t size) override {
    return inner_.SystemMessageText(error_code, buffer, size);
  }

 private:
  static constexpr std::uint32_t kErrorIoDevice = 1117;  // ERROR_IO_DEVICE

  platform::PassThroughDriver& inner_;
  SystemCallFaults& faults_;
  std::optional<std::uint32_t> fault_error_;
};

namespace {

constexpr std::string_view kKnownRevision = "1033";
constexpr std::int8_t kKnownBuild = 32;

struct NamedVersion {
  std::string_view name;
  std::string_view description;
  platform::OsVersion version;
};

const std::array<NamedVersion, 6>& NamedVersions() {
  static const std::array<NamedVersion, 6> versions{{
      {"98se", "Windows 98 Second Edition", {4, 10, 2222, platform::kPlatformWindows9x, " A "}},
      {"me", "Windows Me", {4, 90, 3000, platform::kPlatformWindows9x, " "}},
      {"nt4", "Windows NT 4.0", {4, 0, 1381, platform::kPlatformWindowsNt, "Service Pack 6"}},
      {"2000", "Windows 2000", {5, 0, 2195, platform::kPlatformWindowsNt, "Service Pack 4"}},
      {"xp", "Windows XP", {5, 1, 2600, platform::kPlatformWindowsNt, "Service Pack 2"}},
      {"win32s", "Win32s", {1, 30, 0, platform::kPlatformWin32s, ""}},
  }};
  return versions;
}

std::string Unquoted(std::string text) {
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
    return text.substr(1, text.size() - 2);
  }
  return text;
}

}  // namespace

std::vector<std::uint8_t> PlainImageOf(const FirmwareImage& image) {
  std::vector<std::uint8_t> plain(kImageBytes);
  Descramble(image.stored, std::span<std::uint8_t, kImageBytes>(plain.data(), kImageBytes),
             BuildScramblingTable());
  return plain;
}

std::optional<platform::OsVersion> WindowsVersionNamed(std::string_view name) {
  for (const NamedVersion& named : NamedVersions()) {
    if (named.name == name) {
      return named.version;
    }
  }
  return std::nullopt;
}

std::string WindowsNameOf(const platform::OsVersion& version) {
  for (const NamedVersion& named : NamedVersions()) {
    if (named.version.platform_id == version.platform_id && named.version.major == version.major &&
        named.version.minor == version.minor) {
      return std::string(named.description);
    }
  }
  return "Windows " + std::to_string(version.major) + "." + std::to_string(version.minor);
}

SimulatedPc::SimulatedPc(const platform::OsVersion& version, int ansi_code_page, TimeMode time)
    : locale(ansi_code_page),
      ansi_code_page_(ansi_code_page),
      time_(time),
      observed_registry_(std::make_unique<ObservedRegistry>(*this)),
      program_threads_(std::make_unique<ProgramThreads>(*this)) {
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
    real_clock_ = std::make_unique<RealTimeClock>();
    pass_through_ = std::make_unique<SimPassThroughDriver>(*real_clock_);
    no_aspi_ = std::make_unique<NoAspiLibrary>();
  }
  platform::AspiLibrary& aspi = aspi_ ? static_cast<platform::AspiLibrary&>(*aspi_)
                                      : static_cast<platform::AspiLibrary&>(*no_aspi_);
  program_aspi_ = std::make_unique<FaultyAspiLibrary>(aspi, faults);
  program_pass_through_ = std::make_unique<FaultyPassThroughDriver>(*pass_through_, faults);
  program_thread_ = std::this_thread::get_id();
  known_image_ = PlainImageOf(ImageList().front());
}

SimulatedPc::~SimulatedPc() {
  // Requests still under way finish while the drives exist.
  if (virtual_clock_) {
    virtual_clock_->FinishThreads();
  } else {
    real_clock_->FinishThreads();
  }
  aspi_.reset();
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
  added.drive->KnowFirmware(known_image_, {std::string(kKnownRevision), kKnownBuild});
  if (virtual_clock_) {
    VirtualClock& clock = *virtual_clock_;
    added.drive->SetTimeSource([&clock] { return clock.NowMilliseconds(); });
  } else {
    RealTimeClock& clock = *real_clock_;
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
  return platform::Platform{services,
                            locale,
                            *observed_registry_,
                            *program_aspi_,
                            *program_pass_through_,
                            *program_threads_,
                            *program_threads_,
                            dialogs};
}

SimulatedPc::ProgramRun SimulatedPc::RunProgram(platform::DialogHost& dialogs, TraceSink* trace,
                                                std::span<const FirmwareImage> images) {
  ProgramRun run;
  program_thread_ = std::this_thread::get_id();
  {
    platform::Platform platform = PlatformFor(dialogs);
    Program program(platform, images);
    program.SetTraceSink(trace);
    run.exit_code = program.Run();
    run.outcome = program.App().Outcome();
    run.search = program.App().Search();
    // The process ends: its threads with it, and its handles.
    if (virtual_clock_) {
      virtual_clock_->FinishThreads();
    } else {
      real_clock_->FinishThreads();
    }
  }
  system.EndProcess();
  run.restart_requested = system.exit_request.has_value();
  return run;
}

bool SimulatedPc::RunEntryStartsProgram() const {
  const std::optional<StoredValue> entry = registry.Value(
      platform::kHkeyCurrentUser, kRunKeyPath, ApplicationNameOf(system.program_file_path));
  if (!entry || (entry->type != platform::kRegSz && entry->type != platform::kRegExpandSz)) {
    return false;
  }
  std::string text(entry->data.begin(), entry->data.end());
  text = text.substr(0, text.find('\0'));
  return Unquoted(text) == system.program_file_path;
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
