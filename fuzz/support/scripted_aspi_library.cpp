#include "support/scripted_aspi_library.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <string_view>

#include "drive/aspi_records.h"
#include "drive/command_set.h"
#include "drive/request_status.h"
#include "drive/staging.h"
#include "platform/sim/request_record_rules.h"

namespace fwu::fuzz {
namespace {

constexpr std::uint8_t kHaSelectionTimeout = 0x11;

std::uint8_t CommandOf(const void* record) {
  return *static_cast<const std::uint8_t*>(record);
}

// Statuses are kept on the tape relative to SS_COMP, so that the zeros of an exhausted tape
// complete requests rather than leave every one of them under way until its time-out.
std::uint8_t StatusFrom(Tape& tape, std::uint8_t planned) {
  constexpr std::uint8_t kComplete = ToByte(RequestStatus::SS_COMP);
  return static_cast<std::uint8_t>(tape.Byte(static_cast<std::uint8_t>(planned ^ kComplete)) ^
                                   kComplete);
}

void SetStatus(void* record, std::uint8_t status) {
  static_cast<std::uint8_t*>(record)[aspi::kStatusOffset] = status;
}

std::uint8_t FlagsFor(std::uint8_t operation_code) {
  switch (DataDirectionOf(operation_code)) {
    case DataDirection::kIn:
      return aspi::kSrbEventNotify | aspi::kSrbDirIn;
    case DataDirection::kOut:
      return aspi::kSrbEventNotify | aspi::kSrbDirOut;
    case DataDirection::kNone:
      break;
  }
  return aspi::kSrbEventNotify;
}

}  // namespace

ScriptedAspiLibrary::ScriptedAspiLibrary(Tape& tape, ManualClock& clock,
                                         const AspiScenario* scenario)
    : tape_(tape), clock_(clock), scenario_(scenario), scripted_device_(tape) {
  if (scenario_ != nullptr) {
    for (std::size_t adapter = 0; adapter < scenario_->adapters.size(); ++adapter) {
      const auto& devices = scenario_->adapters[adapter].devices;
      for (std::size_t target = 0; target < devices.size(); ++target) {
        if (devices[target] != nullptr) {
          scenario_devices_[{static_cast<std::uint8_t>(adapter),
                             static_cast<std::uint8_t>(target)}] =
              std::make_unique<ScriptedDevice>(tape, devices[target]);
        }
      }
    }
  }
  clock_.OnAdvance([this](std::uint64_t now_ms) { CompleteDue(now_ms); });
}

ScriptedAspiLibrary::~ScriptedAspiLibrary() {
  locked_.ForEachBlock([this](const std::uint8_t* start, std::size_t size) {
    Require(UsedByPending(start, size),
            "locked memory was lost: neither released nor held for a request under way");
  });
}

const ScenarioAdapter* ScriptedAspiLibrary::PlannedAdapter(std::uint8_t host_adapter) const {
  if (scenario_ == nullptr || host_adapter >= scenario_->adapters.size()) {
    return nullptr;
  }
  return &scenario_->adapters[host_adapter];
}

emulator::ScsiDevice& ScriptedAspiLibrary::DeviceAt(std::uint8_t host_adapter,
                                                    std::uint8_t target) {
  const auto found = scenario_devices_.find({host_adapter, target});
  return found == scenario_devices_.end() ? scripted_device_ : *found->second;
}

platform::ModuleHandle ScriptedAspiLibrary::LoadAspi(const char* file_name) {
  Require(file_name != nullptr && std::string_view(file_name) == "wnaspi32.dll",
          "a library other than the ASPI manager was loaded");
  Require(!loaded_, "the ASPI manager was loaded twice");
  if (tape_.Flag(scenario_ != nullptr && scenario_->library_missing)) {
    return 0;
  }
  loaded_ = true;
  return kModule;
}

void ScriptedAspiLibrary::FreeAspi(platform::ModuleHandle module) {
  Require(loaded_ && module == kModule, "a library was freed that was not loaded");
  Require(pending_.empty(), "the ASPI manager was unloaded with requests under way");
  loaded_ = false;
}

bool ScriptedAspiLibrary::HasEntryPoint(platform::ModuleHandle module, const char* /*name*/) {
  Require(loaded_ && module == kModule, "an entry point was looked up in no library");
  return !tape_.Flag(false);
}

std::uint32_t ScriptedAspiLibrary::GetSupportInfo(platform::ModuleHandle module) {
  Require(loaded_ && module == kModule, "support information was asked of no library");
  std::uint32_t planned = 0;
  if (scenario_ != nullptr) {
    planned =
        scenario_->support_info.value_or((std::uint32_t{ToByte(RequestStatus::SS_COMP)} << 8U) |
                                         static_cast<std::uint32_t>(scenario_->adapters.size()));
  }
  return tape_.U32(planned);
}

void* ScriptedAspiLibrary::AllocateLocked(std::size_t bytes) {
  if (tape_.Flag(false)) {
    return nullptr;
  }
  return locked_.Allocate(bytes);
}

void ScriptedAspiLibrary::ReleaseLocked(void* memory) {
  const std::optional<std::size_t> size = locked_.SizeOf(memory);
  Require(size.has_value(), "memory was released that is not locked memory of the library");
  Require(!UsedByPending(memory, *size),
          "memory was released while a request under way can still write to it");
  locked_.Release(memory);
}

bool ScriptedAspiLibrary::UsedByPending(const void* start, std::size_t length) const {
  return std::any_of(pending_.begin(), pending_.end(), [&](const Pending& pending) {
    return sim::HeldByRequest{pending.record, pending.buffer, pending.buffer_length}.Touches(
        start, length);
  });
}

platform::EventHandle ScriptedAspiLibrary::CreateCompletionEvent() {
  if (tape_.Flag(false)) {
    return nullptr;
  }
  events_.push_back(std::make_unique<Event>());
  return events_.back().get();
}

ScriptedAspiLibrary::Event& ScriptedAspiLibrary::EventOf(platform::EventHandle event) {
  const auto found = std::find_if(events_.begin(), events_.end(),
                                  [event](const auto& known) { return known.get() == event; });
  Require(found != events_.end() && (*found)->open, "an event was used that is not open");
  return **found;
}

bool ScriptedAspiLibrary::WaitForCompletion(platform::EventHandle event, std::uint32_t timeout_ms) {
  Event& waited = EventOf(event);
  const std::uint64_t end_ms = clock_.NowMilliseconds() + timeout_ms;
  // The wait ends early when a request completes meanwhile and signals the event.
  while (!waited.signalled) {
    const std::optional<std::uint64_t> due = NextDue();
    if (!due || *due > end_ms) {
      break;
    }
    clock_.Sleep(static_cast<std::uint32_t>(*due - clock_.NowMilliseconds()));
  }
  if (waited.signalled) {
    waited.signalled = false;  // auto-reset
    return true;
  }
  clock_.Sleep(static_cast<std::uint32_t>(end_ms - clock_.NowMilliseconds()));
  const bool signalled = waited.signalled;
  waited.signalled = false;
  return signalled;
}

void ScriptedAspiLibrary::ResetCompletionEvent(platform::EventHandle event) {
  EventOf(event).signalled = false;
}

void ScriptedAspiLibrary::CloseCompletionEvent(platform::EventHandle event) {
  Event& closed = EventOf(event);
  Require(std::none_of(pending_.begin(), pending_.end(),
                       [event](const Pending& pending) { return pending.event == event; }),
          "a completion event was closed while its request can still signal it");
  closed.open = false;
}

void ScriptedAspiLibrary::PumpWindowMessage(std::uint32_t wait_ms) {
  clock_.Sleep(wait_ms);
}

std::uint32_t ScriptedAspiLibrary::SendCommand(platform::ModuleHandle module,
                                               void* request_record) {
  Require(loaded_ && module == kModule, "a request was sent to no library");
  Require(request_record != nullptr && locked_.Contains(request_record, 2),
          "a request record outside the library's locked memory");
  Require(locked_.Contains(request_record, sim::AspiRecordSize(CommandOf(request_record))),
          "a request record too small for its command");
  Require(!UsedByPending(request_record, 1), "a record was sent again while still under way");
  switch (CommandOf(request_record)) {
    case aspi::kScHaInquiry:
      return HostAdapterInquiry(request_record);
    case aspi::kScExecScsiCmd:
      return Execute(request_record);
    case aspi::kScAbortSrb:
      return Abort(request_record);
    case aspi::kScResetDev:
      return Reset(request_record);
    default:
      Violation("a request the transport has no business sending");
  }
}

std::uint32_t ScriptedAspiLibrary::HostAdapterInquiry(void* record) {
  auto* const srb = static_cast<SrbHaInquiry*>(record);
  const ScenarioAdapter* planned = PlannedAdapter(srb->srb_ha_id);
  const std::uint8_t status = StatusFrom(
      tape_, planned != nullptr ? planned->inquiry_status : ToByte(RequestStatus::SS_INVALID_HA));
  srb->ha_count = static_cast<std::uint8_t>(scenario_ != nullptr ? scenario_->adapters.size() : 0);
  srb->ha_scsi_id = tape_.Byte(planned != nullptr ? planned->own_id : std::uint8_t{7});
  static constexpr std::string_view kManager = "ASPI for WIN32";
  std::copy(kManager.begin(), kManager.end(), srb->ha_manager_id);
  Pending pending{.record = record, .command = aspi::kScHaInquiry};
  pending.completion.status = status;
  return Schedule(std::move(pending), 0);
}

std::uint32_t ScriptedAspiLibrary::Execute(void* record) {
  auto* const srb = static_cast<SrbExecScsiCmd*>(record);
  if (const std::optional<std::string_view> refused = sim::RefusedExecRequest(*srb)) {
    Violation(*refused);
  }
  Require(srb->srb_cdb_len == 6 || srb->srb_cdb_len == 10 || srb->srb_cdb_len == 12,
          "a CDB length other than 6, 10 or 12");
  Require(srb->srb_flags == FlagsFor(srb->cdb_byte[0]),
          "request flags that are not the operation code's");
  Require(srb->srb_sense_len <= aspi::kSenseAreaBytes,
          "more sense asked for than the record holds");
  Require(srb->srb_buf_len <= kStagingAreaBytes, "a data length beyond the staging area");
  Require(DataDirectionOf(srb->cdb_byte[0]) != DataDirection::kNone || srb->srb_buf_len == 0,
          "data with a command that moves none");
  Require(srb->srb_buf_len == 0 || locked_.Contains(srb->srb_buf_pointer, srb->srb_buf_len),
          "a data buffer outside the library's locked memory");
  Require(srb->srb_buf_pointer == nullptr || !UsedByPending(srb->srb_buf_pointer, srb->srb_buf_len),
          "a data buffer handed over that a request under way can still write to");
  EventOf(srb->srb_post_proc);

  const ScenarioAdapter* planned = PlannedAdapter(srb->srb_ha_id);
  const bool planned_absent = planned == nullptr || srb->srb_target >= planned->devices.size() ||
                              planned->devices[srb->srb_target] == nullptr;
  Pending pending{.record = record,
                  .command = aspi::kScExecScsiCmd,
                  .event = srb->srb_post_proc,
                  .buffer = srb->srb_buf_pointer,
                  .buffer_length = srb->srb_buf_len};
  Completion& completion = pending.completion;
  std::uint8_t planned_delay = 0;
  if (tape_.Flag(planned_absent)) {
    completion.status = StatusFrom(tape_, ToByte(RequestStatus::SS_ERR));
    completion.ha_stat = tape_.Byte(kHaSelectionTimeout);
  } else {
    // The device works on a copy: what it sends arrives in the buffer when the request completes.
    completion.data.assign(srb->srb_buf_pointer, srb->srb_buf_pointer + srb->srb_buf_len);
    const emulator::CommandOutcome outcome =
        DeviceAt(srb->srb_ha_id, srb->srb_target)
            .Execute(std::span<const std::uint8_t>(srb->cdb_byte, srb->srb_cdb_len),
                     DataDirectionOf(srb->cdb_byte[0]), completion.data);
    completion.status = StatusFrom(tape_, outcome.status == 0 ? ToByte(RequestStatus::SS_COMP)
                                                              : ToByte(RequestStatus::SS_ERR));
    completion.ha_stat = tape_.Byte(0);
    completion.targ_stat = outcome.status;
    completion.sense = outcome.sense;
    planned_delay = outcome.completed ? 0 : kNever;
  }
  return Schedule(std::move(pending), planned_delay);
}

std::uint32_t ScriptedAspiLibrary::Abort(void* record) {
  auto* const srb = static_cast<SrbAbort*>(record);
  const auto aborted = std::find_if(pending_.begin(), pending_.end(), [&](const Pending& pending) {
    return pending.record == srb->srb_to_abort && pending.command == aspi::kScExecScsiCmd;
  });
  if (tape_.Flag(true) && aborted != pending_.end()) {
    Pending taken = std::move(*aborted);
    pending_.erase(aborted);
    taken.completion = Completion{.status = ToByte(RequestStatus::SS_ABORTED)};
    Complete(taken);
  }
  Pending pending{.record = record, .command = aspi::kScAbortSrb};
  pending.completion.status = StatusFrom(tape_, ToByte(RequestStatus::SS_COMP));
  return Schedule(std::move(pending), 0);
}

std::uint32_t ScriptedAspiLibrary::Reset(void* record) {
  Pending pending{.record = record, .command = aspi::kScResetDev};
  pending.completion.status = StatusFrom(tape_, ToByte(RequestStatus::SS_COMP));
  pending.completion.ha_stat = tape_.Byte(0);
  pending.completion.targ_stat = tape_.Byte(0);
  return Schedule(std::move(pending), 0);
}

std::uint32_t ScriptedAspiLibrary::Schedule(Pending pending, std::uint8_t planned_delay) {
  const std::uint8_t delay = tape_.Byte(planned_delay);
  // A status of 0 is what a request under way shows: such a request never completes.
  if (delay == 0 && pending.completion.status != 0) {
    // Settled at once: the answer says so, and the event is not signalled.
    pending.event = nullptr;
    Complete(pending);
    return pending.completion.status;
  }
  if (delay != kNever && pending.completion.status != 0) {
    pending.due_ms = clock_.NowMilliseconds() + std::uint64_t{delay} * kDelayStepMs;
  }
  pending_.push_back(std::move(pending));
  return 0;
}

void ScriptedAspiLibrary::Complete(Pending& pending) {
  Require(locked_.Contains(pending.record, 2),
          "a request completed into a record that was released meanwhile");
  const Completion& completion = pending.completion;
  if (pending.command == aspi::kScExecScsiCmd) {
    auto* const srb = static_cast<SrbExecScsiCmd*>(pending.record);
    if (pending.buffer != nullptr && !completion.data.empty()) {
      Require(locked_.Contains(pending.buffer, completion.data.size()),
              "a request completed into a data buffer that was released meanwhile");
      std::copy(completion.data.begin(), completion.data.end(), pending.buffer);
    }
    srb->srb_ha_stat = completion.ha_stat;
    srb->srb_targ_stat = completion.targ_stat;
    std::copy_n(completion.sense.begin(),
                std::min<std::size_t>(srb->srb_sense_len, aspi::kSenseAreaBytes), srb->sense_area);
  } else if (pending.command == aspi::kScResetDev) {
    auto* const srb = static_cast<SrbBusDeviceReset*>(pending.record);
    srb->srb_ha_stat = completion.ha_stat;
    srb->srb_targ_stat = completion.targ_stat;
  }
  SetStatus(pending.record, completion.status);
  if (pending.event != nullptr) {
    EventOf(pending.event).signalled = true;
  }
}

void ScriptedAspiLibrary::CompleteDue(std::uint64_t now_ms) {
  const auto due =
      std::stable_partition(pending_.begin(), pending_.end(),
                            [now_ms](const Pending& p) { return !p.due_ms || *p.due_ms > now_ms; });
  std::vector<Pending> completed(std::make_move_iterator(due),
                                 std::make_move_iterator(pending_.end()));
  pending_.erase(due, pending_.end());
  for (Pending& pending : completed) {
    Complete(pending);
  }
}

std::optional<std::uint64_t> ScriptedAspiLibrary::NextDue() const {
  std::optional<std::uint64_t> next;
  for (const Pending& pending : pending_) {
    if (pending.due_ms && (!next || *pending.due_ms < *next)) {
      next = pending.due_ms;
    }
  }
  return next;
}

}  // namespace fwu::fuzz
