#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "drive/aspi_held_records.h"
#include "drive/aspi_records.h"
#include "drive/aspi_wait.h"
#include "drive/transport.h"
#include "platform/aspi_library.h"
#include "platform/clock.h"
#include "platform/dialog_host.h"
#include "platform/locale.h"
#include "platform/system_services.h"
#include "resources/text_pair.h"

namespace fwu {

// Commands to a drive addressed by host adapter and target id through the ASPI library
// (Windows 9x). The library is bound once, when the transport is built; on the NT family it
// never is, and every command then fails with SS_FAILED_INIT.
class AspiTransport final : public Transport {
 public:
  static constexpr const char* kLibraryFileName = "wnaspi32.dll";
  static constexpr std::uint32_t kCommandTimeoutSeconds = 3600;
  static constexpr std::uint32_t kIdentificationTimeoutSeconds = 10;
  static constexpr std::uint32_t kHostAdapterInquirySeconds = 10;
  static constexpr std::uint32_t kResetWaitSeconds = 3;
  static constexpr std::uint32_t kAbortWaitSeconds = 3;
  static constexpr std::uint8_t kMaxHostAdapters = 7;
  static constexpr std::uint8_t kMaxTargets = 7;
  static constexpr std::size_t kMaxEntries = std::size_t{kMaxHostAdapters} * kMaxTargets;

  // What a host adapter inquiry reports of a completed adapter.
  struct HostAdapterInfo {
    std::uint8_t scsi_id = 0;  // the adapter's own target id
    std::array<std::uint8_t, 16> manager_id{};
    std::array<std::uint8_t, 16> identifier{};
    std::array<std::uint8_t, 16> unique{};
  };

  // Binds the library at once, as the program does at start; a failure is shown to the user.
  AspiTransport(platform::AspiLibrary& aspi, platform::SystemServices& system,
                platform::DialogHost& dialogs, const platform::Locale& locale,
                platform::Clock& clock);
  ~AspiTransport() override;

  bool Bound() const { return bound_; }
  std::uint8_t AdapterCount() const { return adapter_count_; }

  std::uint8_t Enumerate() override;
  std::string GetEntry(std::uint8_t index) const override;
  void Select(std::uint8_t index) override;

  RequestStatus HostAdapterInquiry(std::uint8_t host_adapter, HostAdapterInfo& info);
  // Resets the selected device; its adapter and target status come back.
  RequestStatus ResetDevice(std::uint8_t& host_status, std::uint8_t& target_status);
  // Aborts the request in flight, if any, and hands on window messages for the abort's wait.
  RequestStatus AbortRequest();
  // After an abort: lets the adapter settle while the user interface stays alive.
  RequestStatus CompleteAbort();

  // Records that the library has not let go of after their waits ended (see ExecuteOnce).
  std::size_t HeldRecordCount() const { return held_.Count(); }

 protected:
  RequestStatus ExecuteOnce(const std::uint8_t* cdb, std::uint8_t cdb_length,
                            std::uint32_t timeout_seconds) override;

 private:
  void Bind();
  void ShowBindingMessage(const TextPair& message);
  void ReportUnknownCompletion(const std::string& message);
  RequestStatus Attempt(const std::uint8_t* cdb, std::uint8_t cdb_length,
                        std::uint32_t timeout_seconds);
  RequestStatus AttemptOnIdleTarget(const std::uint8_t* cdb, std::uint8_t cdb_length,
                                    std::uint32_t timeout_seconds);
  void FillRequest(SrbExecScsiCmd& srb, const std::uint8_t* cdb, std::uint8_t cdb_length,
                   std::uint32_t length, platform::EventHandle event);
  void SettleTimedOut(SrbExecScsiCmd* srb, platform::EventHandle event);
  RequestStatus SendAbort(void* to_abort, std::uint8_t host_adapter, std::uint32_t wait_seconds,
                          WindowMessages messages);
  bool EnsureStaging();
  RequestStatus Identify(std::string& identity);

  platform::AspiLibrary& aspi_;
  platform::SystemServices& system_;
  platform::DialogHost& dialogs_;
  const platform::Locale& locale_;
  platform::Clock& clock_;

  platform::ModuleHandle module_ = 0;
  bool bound_ = false;
  std::uint8_t adapter_count_ = 0;
  std::array<std::array<bool, kMaxTargets>, kMaxHostAdapters> busy_{};
  SrbExecScsiCmd* in_flight_ = nullptr;
  // Records and the staging area live in memory the library may use; each is replaced, not
  // reused, when the library keeps hold of it.
  void* abort_record_ = nullptr;
  void* adapter_inquiry_record_ = nullptr;
  void* staging_block_ = nullptr;
  std::uint8_t* staging_ = nullptr;  // 16-byte aligned, kStagingAreaBytes long
  AspiHeldRecords held_;

  std::array<std::string, kMaxEntries> entries_;
  std::uint8_t count_ = 0;
  // Enumeration's INQUIRY buffer lives here, not on the stack: the data buffer it names stays
  // in force after Enumerate returns.
  std::array<std::uint8_t, 44> enumeration_data_{};
};

}  // namespace fwu
