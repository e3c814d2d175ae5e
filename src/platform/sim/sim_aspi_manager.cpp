#include "platform/sim/sim_aspi_manager.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <span>

#include <strings.h>

#include "drive/aspi_records.h"
#include "drive/request_status.h"
#include "drive/scsi_request.h"
#include "platform/sim/request_record_rules.h"

namespace fwu::sim {
namespace {

constexpr std::string_view kLibraryFileName = "wnaspi32.dll";
constexpr std::string_view kSupportInfoEntry = "GetASPI32SupportInfo";
constexpr std::string_view kSendCommandEntry = "SendASPI32Command";
constexpr std::string_view kManagerId = "SIM ASPI MANAGER";
constexpr std::string_view kAdapterIdentifier = "SIM HOST ADAPTER";

constexpr std::uint8_t Byte(RequestStatus status) {
  return ToByte(status);
}

void CopyText(std::string_view text, std::uint8_t (&field)[16]) {
  std::memcpy(field, text.data(), std::min(text.size(), sizeof field));
}

DataDirection DirectionOf(std::uint8_t flags) {
  if ((flags & aspi::kSrbDirIn) != 0) {
    return DataDirection::kIn;
  }
  return (flags & aspi::kSrbDirOut) != 0 ? DataDirection::kOut : DataDirection::kNone;
}

}  // namespace

SimAspiManager::SimAspiManager(VirtualClock& clock) : clock_(clock) {}

SimAspiManager::~SimAspiManager() {
  clock_.FinishThreads();
}

void SimAspiManager::SetStatus(void* record, std::uint8_t status) {
  auto* byte = static_cast<std::uint8_t*>(record) + aspi::kStatusOffset;
  std::atomic_ref<std::uint8_t>(*byte).store(status, std::memory_order_release);
}

void SimAspiManager::Misuse(std::string what) {
  activity_.misuses.push_back(std::move(what));
}

// ---- the installation ----

void SimAspiManager::RemoveLibrary() {
  const std::lock_guard lock(mutex_);
  library_present_ = false;
}

void SimAspiManager::RemoveEntryPoint(std::string_view name) {
  const std::lock_guard lock(mutex_);
  missing_entry_points_.emplace(name);
}

void SimAspiManager::SetSupportInfo(std::uint32_t info) {
  const std::lock_guard lock(mutex_);
  support_info_ = info;
}

std::uint8_t SimAspiManager::AddHostAdapter(std::uint8_t own_scsi_id,
                                            std::uint32_t max_transfer_length) {
  const std::lock_guard lock(mutex_);
  Adapter adapter;
  adapter.own_id = own_scsi_id;
  adapter.max_transfer_length = max_transfer_length;
  adapters_.push_back(adapter);
  return static_cast<std::uint8_t>(adapters_.size() - 1);
}

void SimAspiManager::AttachDevice(std::uint8_t host_adapter, std::uint8_t target,
                                  emulator::ScsiDevice& device) {
  const std::lock_guard lock(mutex_);
  adapters_.at(host_adapter).devices.at(target) = &device;
}

void SimAspiManager::SetHostAdapterInquiryStatus(std::uint8_t host_adapter, std::uint8_t status) {
  const std::lock_guard lock(mutex_);
  adapters_.at(host_adapter).inquiry_status = status;
}

void SimAspiManager::ForceCompletion(std::uint8_t host_adapter, std::uint8_t target,
                                     std::uint8_t srb_status, std::uint8_t ha_status) {
  const std::lock_guard lock(mutex_);
  adapters_.at(host_adapter).forced.at(target) = std::array<std::uint8_t, 2>{srb_status, ha_status};
}

void SimAspiManager::ClearForcedCompletion(std::uint8_t host_adapter, std::uint8_t target) {
  const std::lock_guard lock(mutex_);
  adapters_.at(host_adapter).forced.at(target).reset();
}

void SimAspiManager::SetCompletionDelay(std::uint32_t milliseconds) {
  const std::lock_guard lock(mutex_);
  completion_delay_ms_ = milliseconds;
}

void SimAspiManager::SetRequestsNeverComplete(bool never) {
  const std::lock_guard lock(mutex_);
  never_complete_ = never;
}

void SimAspiManager::SetAbortsHonoured(bool honoured) {
  const std::lock_guard lock(mutex_);
  aborts_honoured_ = honoured;
}

void SimAspiManager::SetAbortsAnswered(bool answered) {
  const std::lock_guard lock(mutex_);
  aborts_answered_ = answered;
}

void SimAspiManager::SetResetsAnswered(bool answered) {
  const std::lock_guard lock(mutex_);
  resets_answered_ = answered;
}

void SimAspiManager::FailEventCreations(std::uint32_t count) {
  const std::lock_guard lock(mutex_);
  failing_events_ = count;
}

void SimAspiManager::FailAllocations(std::uint32_t count) {
  const std::lock_guard lock(mutex_);
  failing_allocations_ = count;
}

void SimAspiManager::SetWindowMessageHandler(std::function<void()> handler) {
  const std::lock_guard lock(mutex_);
  message_handler_ = std::move(handler);
}

// ---- observation ----

SimAspiManager::Activity SimAspiManager::Snapshot() const {
  const std::lock_guard lock(mutex_);
  Activity snapshot = activity_;
  snapshot.pending_requests = pending_.size();
  snapshot.live_allocations = locked_.BlockCount();
  snapshot.open_events = static_cast<std::size_t>(std::count_if(
      events_.begin(), events_.end(), [](const SimEvent& event) { return event.open; }));
  return snapshot;
}

// ---- the library ----

platform::ModuleHandle SimAspiManager::LoadAspi(const char* file_name) {
  const std::lock_guard lock(mutex_);
  ++activity_.loads;
  if (!library_present_ || file_name == nullptr ||
      strcasecmp(file_name, std::string(kLibraryFileName).c_str()) != 0) {
    return 0;
  }
  loaded_ = true;
  return kModule;
}

void SimAspiManager::FreeAspi(platform::ModuleHandle module) {
  const std::lock_guard lock(mutex_);
  ++activity_.frees;
  if (module != kModule || !loaded_) {
    Misuse("FreeAspi of a library that is not loaded");
    return;
  }
  if (!pending_.empty()) {
    Misuse("library freed while it still holds requests");
  }
  loaded_ = false;
}

bool SimAspiManager::HasEntryPoint(platform::ModuleHandle module, const char* name) {
  const std::lock_guard lock(mutex_);
  if (module != kModule || !loaded_ || name == nullptr) {
    return false;
  }
  const std::string_view wanted(name);
  return (wanted == kSupportInfoEntry || wanted == kSendCommandEntry) &&
         !missing_entry_points_.contains(wanted);
}

std::uint32_t SimAspiManager::GetSupportInfo(platform::ModuleHandle module) {
  const std::lock_guard lock(mutex_);
  if (module != kModule || !loaded_) {
    Misuse("GetASPI32SupportInfo without the library");
    return 0;
  }
  if (support_info_) {
    return *support_info_;
  }
  return (std::uint32_t{Byte(RequestStatus::SS_COMP)} << 8U) |
         static_cast<std::uint32_t>(adapters_.size() & 0xFFU);
}

bool SimAspiManager::HeldByPending(const void* memory, std::size_t size) const {
  return std::any_of(pending_.begin(), pending_.end(), [&](const auto& entry) {
    const Pending& pending = entry.second;
    return HeldByRequest{entry.first, pending.buffer, pending.buffer_length}.Touches(memory, size);
  });
}

std::uint32_t SimAspiManager::SendCommand(platform::ModuleHandle module, void* request_record) {
  std::unique_lock lock(mutex_);
  if (module != kModule || !loaded_) {
    Misuse("SendASPI32Command without the library");
    return Byte(RequestStatus::SS_FAILED_INIT);
  }
  if (request_record == nullptr) {
    return Byte(RequestStatus::SS_INVALID_SRB);
  }
  const std::uint8_t command = *static_cast<const std::uint8_t*>(request_record);
  if (!locked_.Contains(request_record, AspiRecordSize(command))) {
    Misuse("record outside locked memory");
    return Byte(RequestStatus::SS_INVALID_SRB);
  }
  if (pending_.contains(request_record)) {
    Misuse("record sent again while the library still holds it");
    return Byte(RequestStatus::SS_INVALID_SRB);
  }
  switch (command) {
    case aspi::kScHaInquiry:
      return HostAdapterInquiry(request_record);
    case aspi::kScExecScsiCmd: {
      lock.unlock();
      return Execute(request_record);
    }
    case aspi::kScAbortSrb: {
      lock.unlock();
      return Abort(request_record);
    }
    case aspi::kScResetDev:
      return Reset(request_record);
    default:
      SetStatus(request_record, Byte(RequestStatus::SS_INVALID_SRB));
      return Byte(RequestStatus::SS_INVALID_SRB);
  }
}

// Called with the lock held. Inquiries complete at once, as real managers do, unless the
// adapter is set up otherwise.
std::uint32_t SimAspiManager::HostAdapterInquiry(void* record) {
  auto* srb = static_cast<SrbHaInquiry*>(record);
  const std::uint8_t host_adapter = srb->srb_ha_id;
  activity_.inquired_adapters.push_back(host_adapter);
  if (host_adapter >= adapters_.size()) {
    SetStatus(record, Byte(RequestStatus::SS_INVALID_HA));
    return Byte(RequestStatus::SS_INVALID_HA);
  }
  const Adapter& adapter = adapters_[host_adapter];
  if (adapter.inquiry_status == kNeverCompletes) {
    pending_[record] = Pending{next_serial_++, aspi::kScHaInquiry, nullptr, nullptr, 0};
    return Byte(RequestStatus::SS_PENDING);
  }
  if (adapter.inquiry_status && *adapter.inquiry_status != Byte(RequestStatus::SS_COMP)) {
    SetStatus(record, *adapter.inquiry_status);
    return *adapter.inquiry_status;
  }
  srb->ha_count = static_cast<std::uint8_t>(adapters_.size());
  srb->ha_scsi_id = adapter.own_id;
  CopyText(kManagerId, srb->ha_manager_id);
  CopyText(kAdapterIdentifier, srb->ha_identifier);
  std::memset(srb->ha_unique, 0, sizeof srb->ha_unique);
  srb->ha_unique[0] = 0x01;  // buffer alignment: words
  srb->ha_unique[3] = 8;     // targets per adapter
  for (std::size_t i = 0; i < 4; ++i) {
    srb->ha_unique[4 + i] = static_cast<std::uint8_t>(adapter.max_transfer_length >> (8U * i));
  }
  SetStatus(record, Byte(RequestStatus::SS_COMP));
  return Byte(RequestStatus::SS_COMP);
}

std::uint32_t SimAspiManager::Execute(void* record) {
  SrbExecScsiCmd srb{};
  std::memcpy(&srb, record, sizeof srb);
  const std::lock_guard lock(mutex_);
  SentRequest sent;
  sent.host_adapter = srb.srb_ha_id;
  sent.target = srb.srb_target;
  sent.lun = srb.srb_lun;
  sent.flags = srb.srb_flags;
  sent.buffer_length = srb.srb_buf_len;
  sent.sense_length = srb.srb_sense_len;
  sent.cdb.assign(srb.cdb_byte,
                  srb.cdb_byte + std::min<std::size_t>(srb.srb_cdb_len, aspi::kCdbBytes));
  sent.has_event = srb.srb_post_proc != nullptr;
  sent.time_ms = clock_.NowMilliseconds();
  activity_.sent_requests.push_back(sent);

  // Requests the manager turns down at once: it answers with the status and signals nothing.
  auto refuse = [&](RequestStatus status) {
    SetStatus(record, Byte(status));
    return std::uint32_t{Byte(status)};
  };
  if (srb.srb_ha_id >= adapters_.size()) {
    return refuse(RequestStatus::SS_INVALID_HA);
  }
  if (RefusedExecRequest(srb)) {
    return refuse(RequestStatus::SS_INVALID_SRB);
  }
  if (srb.srb_buf_len > adapters_[srb.srb_ha_id].max_transfer_length) {
    return refuse(RequestStatus::SS_BUFFER_TO_BIG);
  }
  if (srb.srb_buf_len != 0 && !locked_.Contains(srb.srb_buf_pointer, srb.srb_buf_len)) {
    Misuse("data buffer outside locked memory");
  }
  if ((srb.srb_flags & aspi::kSrbEventNotify) != 0 && EventOf(srb.srb_post_proc) == nullptr) {
    Misuse("completion event that is not open");
  }
  const std::uint64_t serial = next_serial_++;
  pending_[record] = Pending{serial, aspi::kScExecScsiCmd, srb.srb_post_proc, srb.srb_buf_pointer,
                             srb.srb_buf_len};
  const platform::ThreadHandle thread =
      clock_.CreateSuspended([this, record, serial] { return RunRequest(record, serial); });
  clock_.Resume(thread);
  clock_.CloseThread(thread);
  return Byte(RequestStatus::SS_PENDING);
}

// The manager's own thread for one request: wait, let the device execute it, post the result.
std::uint32_t SimAspiManager::RunRequest(void* record, std::uint64_t serial) {
  std::uint32_t delay_ms = 0;
  {
    const std::lock_guard lock(mutex_);
    delay_ms = completion_delay_ms_;
  }
  if (delay_ms != 0) {
    clock_.Sleep(delay_ms);
  }
  SrbExecScsiCmd srb{};
  emulator::ScsiDevice* device = nullptr;
  std::optional<std::array<std::uint8_t, 2>> forced;
  {
    const std::lock_guard lock(mutex_);
    const auto found = pending_.find(record);
    if (found == pending_.end() || found->second.serial != serial || never_complete_) {
      return 0;  // aborted meanwhile, or left pending for good
    }
    std::memcpy(&srb, record, sizeof srb);
    const Adapter& adapter = adapters_[srb.srb_ha_id];
    if (srb.srb_target < adapter.devices.size()) {
      device = adapter.devices[srb.srb_target];
      forced = adapter.forced[srb.srb_target];
    }
  }
  emulator::CommandOutcome outcome;
  std::uint8_t ha_status = 0;
  std::uint8_t srb_status = 0;
  if (forced) {
    srb_status = (*forced)[0];
    ha_status = (*forced)[1];
    device = nullptr;
  } else if (device == nullptr) {
    srb_status = Byte(RequestStatus::SS_ERR);
    ha_status = kHaStatusSelectionTimeout;
  } else {
    const std::span<std::uint8_t> data(srb.srb_buf_pointer, srb.srb_buf_len);
    outcome = device->Execute(std::span<const std::uint8_t>(srb.cdb_byte, srb.srb_cdb_len),
                              DirectionOf(srb.srb_flags), data);
    if (!outcome.completed) {
      return 0;  // the device never answers: pending until aborted
    }
    clock_.Sleep(outcome.duration_ms);
    srb_status =
        Byte(outcome.status == kScsiStatusGood ? RequestStatus::SS_COMP : RequestStatus::SS_ERR);
  }
  std::optional<VirtualClock::EventId> event;
  {
    const std::lock_guard lock(mutex_);
    const auto found = pending_.find(record);
    if (found == pending_.end() || found->second.serial != serial) {
      return 0;
    }
    if (const SimEvent* const open = EventOf(found->second.event); open != nullptr) {
      event = open->id;
    }
    pending_.erase(found);
    auto* target = static_cast<SrbExecScsiCmd*>(record);
    target->srb_ha_stat = ha_status;
    target->srb_targ_stat = device == nullptr ? 0 : outcome.status;
    if (device != nullptr && outcome.status == kScsiStatusCheckCondition) {
      const std::size_t sense_bytes =
          std::min({std::size_t{srb.srb_sense_len}, aspi::kSenseAreaBytes, outcome.sense.size()});
      std::memcpy(target->sense_area, outcome.sense.data(), sense_bytes);
    }
    SetStatus(record, srb_status);
  }
  if (event) {
    clock_.SignalEvent(*event);
  }
  return 0;
}

std::uint32_t SimAspiManager::Abort(void* record) {
  std::optional<VirtualClock::EventId> event;
  std::uint8_t status = Byte(RequestStatus::SS_ABORT_FAIL);
  {
    const std::lock_guard lock(mutex_);
    ++activity_.aborts_received;
    if (!aborts_answered_) {
      pending_[record] = Pending{next_serial_++, aspi::kScAbortSrb, nullptr, nullptr, 0};
      return Byte(RequestStatus::SS_PENDING);
    }
    auto* srb = static_cast<SrbAbort*>(record);
    const auto found = pending_.find(srb->srb_to_abort);
    if (found != pending_.end() && found->second.command == aspi::kScExecScsiCmd &&
        aborts_honoured_) {
      if (const SimEvent* const open = EventOf(found->second.event); open != nullptr) {
        event = open->id;
      }
      void* const aborted = found->first;
      pending_.erase(found);
      SetStatus(aborted, Byte(RequestStatus::SS_ABORTED));
      status = Byte(RequestStatus::SS_COMP);
    }
    SetStatus(record, status);
  }
  if (event) {
    clock_.SignalEvent(*event);
  }
  return status;
}

// Called with the lock held.
std::uint32_t SimAspiManager::Reset(void* record) {
  ++activity_.resets_received;
  if (!resets_answered_) {
    pending_[record] = Pending{next_serial_++, aspi::kScResetDev, nullptr, nullptr, 0};
    return Byte(RequestStatus::SS_PENDING);
  }
  auto* srb = static_cast<SrbBusDeviceReset*>(record);
  const bool present = srb->srb_ha_id < adapters_.size() && srb->srb_target < 8 &&
                       adapters_[srb->srb_ha_id].devices[srb->srb_target] != nullptr;
  srb->srb_ha_stat = present ? 0 : kHaStatusSelectionTimeout;
  srb->srb_targ_stat = 0;
  const std::uint8_t status = Byte(present ? RequestStatus::SS_COMP : RequestStatus::SS_ERR);
  SetStatus(record, status);
  return status;
}

// ---- memory and events ----

void* SimAspiManager::AllocateLocked(std::size_t bytes) {
  const std::lock_guard lock(mutex_);
  if (failing_allocations_ > 0) {
    --failing_allocations_;
    return nullptr;
  }
  return locked_.Allocate(bytes);
}

void SimAspiManager::ReleaseLocked(void* memory) {
  const std::lock_guard lock(mutex_);
  const std::optional<std::size_t> size = locked_.SizeOf(memory);
  if (!size) {
    Misuse("release of memory that is not allocated");
    return;
  }
  if (HeldByPending(memory, *size)) {
    // Kept, so that the late completion still lands in valid memory; the misuse is noted.
    Misuse("memory released while the library can still write to it");
    return;
  }
  locked_.Release(memory);
}

SimAspiManager::SimEvent* SimAspiManager::EventOf(platform::EventHandle event) {
  if (event == nullptr) {
    return nullptr;
  }
  for (SimEvent& candidate : events_) {
    if (&candidate == event) {
      return candidate.open ? &candidate : nullptr;
    }
  }
  return nullptr;
}

platform::EventHandle SimAspiManager::CreateCompletionEvent() {
  const std::lock_guard lock(mutex_);
  if (failing_events_ > 0) {
    --failing_events_;
    return nullptr;
  }
  events_.push_back(SimEvent{clock_.CreateEvent(/*manual_reset=*/false), true});
  return &events_.back();
}

bool SimAspiManager::WaitForCompletion(platform::EventHandle event, std::uint32_t timeout_ms) {
  VirtualClock::EventId id = 0;
  {
    const std::lock_guard lock(mutex_);
    ++(timeout_ms == 0 ? activity_.event_tests : activity_.blocking_waits);
    const SimEvent* const open = EventOf(event);
    if (open == nullptr) {
      Misuse("wait on an event that is not open");
      return false;
    }
    id = open->id;
  }
  return clock_.WaitEvent(id, timeout_ms);
}

void SimAspiManager::ResetCompletionEvent(platform::EventHandle event) {
  const std::lock_guard lock(mutex_);
  if (const SimEvent* const open = EventOf(event); open != nullptr) {
    clock_.ResetEvent(open->id);
  }
}

void SimAspiManager::CloseCompletionEvent(platform::EventHandle event) {
  const std::lock_guard lock(mutex_);
  SimEvent* const open = EventOf(event);
  if (open == nullptr) {
    Misuse("close of an event that is not open");
    return;
  }
  if (std::any_of(pending_.begin(), pending_.end(),
                  [&](const auto& entry) { return entry.second.event == event; })) {
    Misuse("event closed while a pending request will still signal it");
  }
  open->open = false;
  clock_.CloseEvent(open->id);
}

void SimAspiManager::PumpWindowMessage(std::uint32_t wait_ms) {
  std::function<void()> handler;
  {
    const std::lock_guard lock(mutex_);
    ++activity_.pumped_messages;
    handler = message_handler_;
  }
  if (handler) {
    handler();
  }
  clock_.Sleep(wait_ms);
}

}  // namespace fwu::sim
