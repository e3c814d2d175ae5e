#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "emulator/scsi_device.h"
#include "platform/aspi_library.h"
#include "platform/sim/locked_memory.h"
#include "platform/sim/virtual_clock.h"

namespace fwu::sim {

// The ASPI manager of the simulated Windows 9x PC: host adapters with their own SCSI ids,
// emulated devices at their targets, and the ways a real manager misbehaves. Requests complete
// on a simulated thread of their own after a settable virtual delay plus the device's time, as
// a real manager completes them from its own thread and signals SRB_PostProc.
//
// It also watches its caller: a record or data buffer that is released, reused or not in
// locked memory while the manager can still write to it is noted as a misuse.
class SimAspiManager final : public platform::AspiLibrary {
 public:
  static constexpr platform::ModuleHandle kModule = 0x7A50000;
  // A host adapter inquiry status that means the inquiry never completes.
  static constexpr std::uint8_t kNeverCompletes = 0x00;
  static constexpr std::uint8_t kHaStatusSelectionTimeout = 0x11;
  static constexpr std::uint32_t kDefaultMaxTransferLength = 0x10000;

  // An SRB_ExecSCSICmd as the manager received it.
  struct SentRequest {
    std::uint8_t host_adapter = 0;
    std::uint8_t target = 0;
    std::uint8_t lun = 0;
    std::uint8_t flags = 0;
    std::uint32_t buffer_length = 0;
    std::uint8_t sense_length = 0;
    std::vector<std::uint8_t> cdb;
    bool has_event = false;
    std::uint64_t time_ms = 0;
  };

  explicit SimAspiManager(VirtualClock& clock);
  // Lets every request still under way run to its end first.
  ~SimAspiManager() override;
  SimAspiManager(const SimAspiManager&) = delete;
  SimAspiManager& operator=(const SimAspiManager&) = delete;

  // The installation.
  void RemoveLibrary();
  void RemoveEntryPoint(std::string_view name);
  // What GetASPI32SupportInfo answers; without it, SS_COMP and the number of adapters.
  void SetSupportInfo(std::uint32_t info);
  // Returns the new adapter's number.
  std::uint8_t AddHostAdapter(std::uint8_t own_scsi_id = 7,
                              std::uint32_t max_transfer_length = kDefaultMaxTransferLength);
  // The device must outlive the manager.
  void AttachDevice(std::uint8_t host_adapter, std::uint8_t target, emulator::ScsiDevice& device);
  // The adapter answers its inquiry with this status (kNeverCompletes: not at all).
  void SetHostAdapterInquiryStatus(std::uint8_t host_adapter, std::uint8_t status);
  // Requests to the target complete with this SRB_Status and adapter status, and a target
  // status of 0, without reaching a device; as a failing bus or adapter would end them.
  void ForceCompletion(std::uint8_t host_adapter, std::uint8_t target, std::uint8_t srb_status,
                       std::uint8_t ha_status);
  void ClearForcedCompletion(std::uint8_t host_adapter, std::uint8_t target);

  // Requests and resources.
  void SetCompletionDelay(std::uint32_t milliseconds);
  // Requests are accepted and then never completed (until aborted).
  void SetRequestsNeverComplete(bool never);
  // Whether SC_ABORT_SRB takes a pending request back (SS_ABORTED); otherwise it fails.
  void SetAbortsHonoured(bool honoured);
  // Whether SC_ABORT_SRB and SC_RESET_DEV are answered at all; otherwise the manager takes
  // them and never completes them, and their records stay its own.
  void SetAbortsAnswered(bool answered);
  void SetResetsAnswered(bool answered);
  void FailEventCreations(std::uint32_t count);
  void FailAllocations(std::uint32_t count);
  // Runs for every window message the caller pumps, as a dialog handler would.
  void SetWindowMessageHandler(std::function<void()> handler);

  // What happened, as one consistent picture.
  struct Activity {
    std::vector<SentRequest> sent_requests;
    std::vector<std::uint8_t> inquired_adapters;
    std::vector<std::string> misuses;
    std::size_t pending_requests = 0;
    std::size_t live_allocations = 0;
    std::size_t open_events = 0;
    std::uint32_t pumped_messages = 0;
    std::uint32_t blocking_waits = 0;  // completion waits with a time-out
    std::uint32_t event_tests = 0;     // completion waits without one
    std::uint32_t loads = 0;
    std::uint32_t frees = 0;
    std::uint32_t aborts_received = 0;
    std::uint32_t resets_received = 0;
  };
  Activity Snapshot() const;

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
  struct Adapter {
    std::uint8_t own_id = 7;
    std::uint32_t max_transfer_length = kDefaultMaxTransferLength;
    std::optional<std::uint8_t> inquiry_status;
    std::array<emulator::ScsiDevice*, 8> devices{};
    std::array<std::optional<std::array<std::uint8_t, 2>>, 8> forced{};  // SRB_Status, HaStat
  };
  struct Pending {
    std::uint64_t serial = 0;
    std::uint8_t command = 0;
    platform::EventHandle event = nullptr;
    std::uint8_t* buffer = nullptr;
    std::uint32_t buffer_length = 0;
  };
  struct SimEvent {
    VirtualClock::EventId id = 0;
    bool open = true;
  };

  std::uint32_t HostAdapterInquiry(void* record);
  std::uint32_t Execute(void* record);
  std::uint32_t Abort(void* record);
  std::uint32_t Reset(void* record);
  std::uint32_t RunRequest(void* record, std::uint64_t serial);
  bool HeldByPending(const void* memory, std::size_t size) const;
  SimEvent* EventOf(platform::EventHandle event);
  void Misuse(std::string what);
  static void SetStatus(void* record, std::uint8_t status);

  VirtualClock& clock_;
  mutable std::mutex mutex_;
  bool library_present_ = true;
  bool loaded_ = false;
  std::set<std::string, std::less<>> missing_entry_points_;
  std::optional<std::uint32_t> support_info_;
  std::vector<Adapter> adapters_;
  std::uint32_t completion_delay_ms_ = 0;
  bool never_complete_ = false;
  bool aborts_honoured_ = true;
  bool aborts_answered_ = true;
  bool resets_answered_ = true;
  std::uint32_t failing_events_ = 0;
  std::uint32_t failing_allocations_ = 0;
  std::function<void()> message_handler_;

  std::map<void*, Pending> pending_;
  std::uint64_t next_serial_ = 1;
  LockedMemory locked_;
  std::deque<SimEvent> events_;

  // Counted as it happens; the pending requests, blocks and open events are counted when asked.
  Activity activity_;
};

}  // namespace fwu::sim
