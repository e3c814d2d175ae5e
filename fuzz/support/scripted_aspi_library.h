#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "emulator/scsi_device.h"
#include "platform/aspi_library.h"
#include "platform/sim/locked_memory.h"
#include "support/manual_clock.h"
#include "support/scripted_device.h"
#include "support/tape.h"

namespace fwu::fuzz {

// The host adapters of a recorded scenario.
struct ScenarioAdapter {
  std::uint8_t own_id = 7;
  std::array<emulator::ScsiDevice*, 8> devices{};  // by target id; not owned
  std::uint8_t inquiry_status = 0x01;              // SS_COMP
};
struct AspiScenario {
  bool library_missing = false;
  std::optional<std::uint32_t> support_info;  // empty: SS_COMP and the number of adapters
  std::vector<ScenarioAdapter> adapters;
};

// The ASPI library as the tape scripts it: whether it loads and binds, the support information,
// failing allocations and events, and for each request its status bytes, its sense, a drive's
// answer (through a ScriptedDevice) and when it completes: at once, after some time, or never.
// A request that never completes can still be taken back by an abort.
//
// It holds the transport to the library's contract: records and data buffers come from its
// locked memory and stay there, unreleased, while a request can still write to them; a
// completion event stays open until its request has signalled it; a library with requests under
// way is not unloaded; and every record is well-formed. At the end, whatever the transport still
// holds must be held for a request that is still under way.
class ScriptedAspiLibrary final : public platform::AspiLibrary {
 public:
  static constexpr platform::ModuleHandle kModule = 0x5A50000;
  // A request's completion time, in steps of this much, from the tape; 255 never completes.
  static constexpr std::uint32_t kDelayStepMs = 50;
  static constexpr std::uint8_t kNever = 0xFF;

  ScriptedAspiLibrary(Tape& tape, ManualClock& clock, const AspiScenario* scenario = nullptr);
  ~ScriptedAspiLibrary() override;
  ScriptedAspiLibrary(const ScriptedAspiLibrary&) = delete;
  ScriptedAspiLibrary& operator=(const ScriptedAspiLibrary&) = delete;

  platform::ModuleHandle LoadAspi(const char* file_name) override;
  void FreeAspi(platform::ModuleHandle module) override;
  bool HasEntryPoint(platform::ModuleHandle module, const char* name) override;
  std::uint32_t GetSupportInfo(platform::ModuleHandle module) override;
  std::uint32_t SendCommand(platform::ModuleHandle module, void* request_record) override;
  void* AllocateLocked(std::size_t bytes) override;
  void ReleaseLocked(void* memory) override;
  platform::EventHandle CreateCompletionEvent() override;
  bool WaitForCompletion(platform::EventHandle event, std::uint32_t timeout_ms) override;
  void ResetCompletionEvent(platform::EventHandle event) override;
  void CloseCompletionEvent(platform::EventHandle event) override;
  void PumpWindowMessage(std::uint32_t wait_ms) override;

 private:
  // What a request leaves in its record when it completes.
  struct Completion {
    std::uint8_t status = 0;
    std::uint8_t ha_stat = 0;
    std::uint8_t targ_stat = 0;
    std::array<std::uint8_t, emulator::kSenseDataLength> sense{};
    std::vector<std::uint8_t> data;  // written to the record's buffer
  };
  struct Pending {
    void* record = nullptr;
    std::uint8_t command = 0;
    platform::EventHandle event = nullptr;
    std::uint8_t* buffer = nullptr;
    std::uint32_t buffer_length = 0;
    std::optional<std::uint64_t> due_ms;  // empty: never
    Completion completion;
  };
  struct Event {
    bool open = true;
    bool signalled = false;
  };

  const ScenarioAdapter* PlannedAdapter(std::uint8_t host_adapter) const;
  emulator::ScsiDevice& DeviceAt(std::uint8_t host_adapter, std::uint8_t target);
  std::uint32_t HostAdapterInquiry(void* record);
  std::uint32_t Execute(void* record);
  std::uint32_t Abort(void* record);
  std::uint32_t Reset(void* record);
  // Completes at once (the status comes back from the send) or leaves it under way.
  std::uint32_t Schedule(Pending pending, std::uint8_t planned_delay);
  void Complete(Pending& pending);
  void CompleteDue(std::uint64_t now_ms);
  std::optional<std::uint64_t> NextDue() const;
  bool UsedByPending(const void* start, std::size_t length) const;
  Event& EventOf(platform::EventHandle event);

  Tape& tape_;
  ManualClock& clock_;
  const AspiScenario* scenario_;
  ScriptedDevice scripted_device_;
  std::map<std::pair<std::uint8_t, std::uint8_t>, std::unique_ptr<ScriptedDevice>>
      scenario_devices_;
  bool loaded_ = false;
  sim::LockedMemory locked_;
  std::vector<std::unique_ptr<Event>> events_;
  std::vector<Pending> pending_;
};

}  // namespace fwu::fuzz
