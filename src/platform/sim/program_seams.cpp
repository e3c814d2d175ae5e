#include "platform/sim/program_seams.h"

#include <atomic>
#include <optional>
#include <utility>

#include "platform/sim/simulated_pc.h"

namespace fwu::sim {

// The registry as the program sees it: the PC's own, with the observer told of each write.
class ProgramSeams::ObservedRegistry final : public platform::Registry {
 public:
  explicit ObservedRegistry(SimulatedPc& pc) : pc_(pc) {}

  void SetObserver(std::function<void()> observer) { observer_ = std::move(observer); }

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
    if (pc_.registry.WriteCount() != before && observer_) {
      observer_();
    }
    return result;
  }

  SimulatedPc& pc_;
  std::function<void()> observer_;
};

// The NT family in real time: there is no ASPI manager to load, as on a real NT system.
class ProgramSeams::NoAspiLibrary final : public platform::AspiLibrary {
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
class ProgramSeams::ProgramThreads final : public platform::Clock, public platform::Threads {
 public:
  ProgramThreads(SimulatedPc& pc, std::thread::id program_thread)
      : pc_(pc), program_thread_(program_thread) {}

  void SetProgramThread(std::thread::id thread) { program_thread_ = thread; }
  int SleepsDuringWorker() const { return sleeps_during_worker_; }

  std::uint32_t TickCount() override { return pc_.Clock().TickCount(); }
  std::int64_t CalendarSeconds() override { return pc_.Clock().CalendarSeconds(); }
  void Sleep(std::uint32_t milliseconds) override {
    if (milliseconds > 0 && workers_running_.load() > 0 &&
        std::this_thread::get_id() == program_thread_) {
      ++sleeps_during_worker_;
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
  std::thread::id program_thread_;
  int sleeps_during_worker_ = 0;
  std::atomic<int> workers_running_{0};
};

// The ASPI manager as the program loads it: its library, entry points, memory and events fail
// as the faults say.
class ProgramSeams::FaultyAspiLibrary final : public platform::AspiLibrary {
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
class ProgramSeams::FaultyPassThroughDriver final : public platform::PassThroughDriver {
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

ProgramSeams::ProgramSeams(SimulatedPc& pc)
    : pc_(pc),
      registry_(std::make_unique<ObservedRegistry>(pc)),
      threads_(std::make_unique<ProgramThreads>(pc, std::this_thread::get_id())),
      no_aspi_(std::make_unique<NoAspiLibrary>()) {
  platform::AspiLibrary& aspi = pc.Aspi() != nullptr
                                    ? static_cast<platform::AspiLibrary&>(*pc.Aspi())
                                    : static_cast<platform::AspiLibrary&>(*no_aspi_);
  aspi_ = std::make_unique<FaultyAspiLibrary>(aspi, pc.faults);
  pass_through_ = std::make_unique<FaultyPassThroughDriver>(pc.PassThrough(), pc.faults);
}

ProgramSeams::~ProgramSeams() = default;

platform::Platform ProgramSeams::PlatformFor(platform::DialogHost& dialogs,
                                             platform::SystemServices& services) {
  return platform::Platform{services,       pc_.locale, *registry_, *aspi_,
                            *pass_through_, *threads_,  *threads_,  dialogs};
}

void ProgramSeams::SetRegistryWriteObserver(std::function<void()> observer) {
  registry_->SetObserver(std::move(observer));
}

void ProgramSeams::SetProgramThread(std::thread::id thread) {
  threads_->SetProgramThread(thread);
}

int ProgramSeams::ProgramThreadSleepsDuringWorker() const {
  return threads_->SleepsDuringWorker();
}

}  // namespace fwu::sim
