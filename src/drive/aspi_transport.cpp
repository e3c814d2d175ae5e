#include "drive/aspi_transport.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>

#include "drive/aspi_wait.h"
#include "drive/busy_guard.h"
#include "drive/error_text.h"
#include "drive/identity.h"
#include "drive/staging.h"
#include "resources/drive_messages.h"
#include "resources/format.h"
#include "resources/message_language.h"

namespace fwu {
namespace {

constexpr const char* kSupportInfoEntry = "GetASPI32SupportInfo";
constexpr const char* kSendCommandEntry = "SendASPI32Command";

// A selection that names no adapter: commands to it are refused before they reach the library.
constexpr std::uint8_t kNoAddress = 0xFF;

// The INQUIRY that identifies a device during discovery: always 44 bytes.
constexpr Cdb kIdentificationInquiry = InquiryCdb(kIdentificationInquiryBytes);

// A request whose status arrived just after its wait ended: the library still signals its event,
// so the event is not closed before that.
constexpr std::uint32_t kLateSignalGraceSeconds = 1;

constexpr std::uint8_t ExecFlagsFor(DataDirection direction) {
  switch (direction) {
    case DataDirection::kIn:
      return aspi::kSrbEventNotify | aspi::kSrbDirIn;
    case DataDirection::kOut:
      return aspi::kSrbEventNotify | aspi::kSrbDirOut;
    case DataDirection::kNone:
      break;
  }
  return aspi::kSrbEventNotify;
}

template <std::size_t N>
void CopyField(const std::uint8_t (&from)[N], std::array<std::uint8_t, N>& to) {
  std::copy_n(from, N, to.begin());
}

}  // namespace

AspiTransport::AspiTransport(platform::AspiLibrary& aspi, platform::SystemServices& system,
                             platform::DialogHost& dialogs, const platform::Locale& locale,
                             platform::Clock& clock)
    : Transport(kCommandTimeoutSeconds, /*names_commands=*/true),
      aspi_(aspi),
      system_(system),
      dialogs_(dialogs),
      locale_(locale),
      clock_(clock),
      held_(aspi) {
  Bind();
}

AspiTransport::~AspiTransport() {
  held_.ReleaseSettled();
  for (void* memory : {abort_record_, adapter_inquiry_record_, staging_block_}) {
    if (memory != nullptr) {
      aspi_.ReleaseLocked(memory);
    }
  }
  // A library that still holds requests stays loaded: unloading it would pull its code from
  // under the requests it is still working on. The end of the process settles both.
  if (module_ != 0 && held_.Count() == 0) {
    aspi_.FreeAspi(module_);
  }
}

void AspiTransport::ShowBindingMessage(const TextPair& message) {
  dialogs_.ShowMessageBox(0, message.In(CurrentMessageLanguage(locale_)), texts::kMessageBoxCaption,
                          platform::kMbOk);
}

void AspiTransport::ReportUnknownCompletion(const std::string& message) {
  dialogs_.Beep(platform::kMbIconExclamation);
  dialogs_.ShowMessageBox(0, message, texts::kMessageBoxCaption,
                          platform::kMbOk | platform::kMbIconExclamation);
}

void AspiTransport::Bind() {
  adapter_count_ = 0;
  platform::OsVersion version;
  if (!system_.QueryVersion(version)) {
    ShowBindingMessage(texts::kCannotGetOsInformation);
    return;
  }
  if (version.platform_id != platform::kPlatformWindows9x) {
    return;
  }
  module_ = aspi_.LoadAspi(kLibraryFileName);
  if (module_ != 0 && aspi_.HasEntryPoint(module_, kSupportInfoEntry)) {
    const std::uint32_t info = aspi_.GetSupportInfo(module_);
    if (aspi::SupportInfoCompletion(info) == ToByte(RequestStatus::SS_COMP)) {
      adapter_count_ = aspi::SupportInfoAdapterCount(info);
      bound_ = aspi_.HasEntryPoint(module_, kSendCommandEntry);
    }
  }
  if (!bound_) {
    ShowBindingMessage(texts::kAspiInitializeFail);
  }
  request_.address = DriveAddress{};
  SetDataBuffer(nullptr, 0);
  in_flight_ = nullptr;
  abort_record_ = aspi_.AllocateLocked(sizeof(SrbAbort));
}

std::string AspiTransport::GetEntry(std::uint8_t index) const {
  return index < kMaxEntries ? entries_[index] : std::string();
}

void AspiTransport::Select(std::uint8_t index) {
  const std::string entry = GetEntry(index);
  request_.address = DriveAddress{};
  // An entry reads "h:t: ..."; one that does not names no address, and commands to it are
  // refused rather than sent to adapter 0, target 0.
  if (entry.size() < 3) {
    request_.address.host_adapter = kNoAddress;
    request_.address.target = kNoAddress;
    return;
  }
  request_.address.host_adapter = static_cast<std::uint8_t>(entry[0] - '0');
  request_.address.target = static_cast<std::uint8_t>(entry[2] - '0');
}

RequestStatus AspiTransport::ExecuteOnce(const std::uint8_t* cdb, std::uint8_t cdb_length,
                                         std::uint32_t timeout_seconds) {
  request_.sense.fill(0);
  request_.direction = DataDirectionOf(cdb[0]);
  held_.ReleaseSettled();
  const RequestStatus result = Attempt(cdb, cdb_length, timeout_seconds);
  if (result != RequestStatus::SS_COMP) {
    ComposeAspiErrorText(request_, result,
                         [this](const std::string& message) { ReportUnknownCompletion(message); });
  }
  return result;
}

RequestStatus AspiTransport::Attempt(const std::uint8_t* cdb, std::uint8_t cdb_length,
                                     std::uint32_t timeout_seconds) {
  if (!bound_) {
    return RequestStatus::SS_FAILED_INIT;
  }
  const std::uint8_t host_adapter = request_.address.host_adapter;
  const std::uint8_t target = request_.address.target;
  if (host_adapter >= kMaxHostAdapters) {
    return RequestStatus::SS_INVALID_HA;
  }
  if (target >= kMaxTargets) {
    return RequestStatus::SS_NO_DEVICE;
  }
  if (busy_[host_adapter][target]) {
    return RequestStatus::RS_TARGET_BUSY;
  }
  const BusyGuard busy(busy_[host_adapter][target]);
  return AttemptOnIdleTarget(cdb, cdb_length, timeout_seconds);
}

bool AspiTransport::EnsureStaging() {
  if (staging_ != nullptr) {
    return true;
  }
  // One spare alignment's worth, so that the whole area is usable from an aligned start.
  std::size_t space = kStagingAreaBytes + 15U;
  staging_block_ = aspi_.AllocateLocked(space);
  if (staging_block_ == nullptr) {
    return false;
  }
  void* aligned = staging_block_;
  staging_ = static_cast<std::uint8_t*>(std::align(16, kStagingAreaBytes, aligned, space));
  return staging_ != nullptr;
}

void AspiTransport::FillRequest(SrbExecScsiCmd& srb, const std::uint8_t* cdb,
                                std::uint8_t cdb_length, std::uint32_t length,
                                platform::EventHandle event) {
  srb.srb_cmd = aspi::kScExecScsiCmd;
  srb.srb_ha_id = request_.address.host_adapter;
  srb.srb_flags = ExecFlagsFor(DataDirectionOf(cdb[0]));
  srb.srb_target = request_.address.target;
  srb.srb_lun = request_.address.lun;
  srb.srb_buf_len = length;
  srb.srb_buf_pointer = staging_;
  srb.srb_sense_len = aspi::kSenseLength;
  srb.srb_cdb_len = cdb_length;
  srb.srb_post_proc = event;
  std::copy_n(cdb, std::min<std::size_t>(cdb_length, aspi::kCdbBytes), srb.cdb_byte);
}

RequestStatus AspiTransport::AttemptOnIdleTarget(const std::uint8_t* cdb, std::uint8_t cdb_length,
                                                 std::uint32_t timeout_seconds) {
  const std::uint32_t length = StagedLength(request_, cdb[0]);
  std::uint8_t* const data = request_.data;
  if (length > kStagingAreaBytes) {
    return RequestStatus::SS_BUFFER_TO_BIG;
  }
  if (length != 0 && data == nullptr) {
    return RequestStatus::SS_INVALID_SRB;
  }
  const platform::EventHandle event = aspi_.CreateCompletionEvent();
  if (event == nullptr) {
    return RequestStatus::RS_TARGET_BUSY;
  }
  void* const memory = EnsureStaging() ? aspi_.AllocateLocked(sizeof(SrbExecScsiCmd)) : nullptr;
  if (memory == nullptr) {
    aspi_.CloseCompletionEvent(event);
    return RequestStatus::RS_NO_MEMORY;
  }
  auto* const srb = ::new (memory) SrbExecScsiCmd{};
  in_flight_ = srb;
  if (length != 0) {
    std::memcpy(staging_, data, length);
  }
  FillRequest(*srb, cdb, cdb_length, length, event);
  Trace("Target =%d,%d,%d  SRB=%p Data=%p %lXh\n", srb->srb_ha_id, srb->srb_target, srb->srb_lun,
        static_cast<void*>(srb), static_cast<void*>(staging_), static_cast<unsigned long>(length));

  const std::uint32_t sent = aspi_.SendCommand(module_, srb);
  // A library that settles a request at once says so in its answer and does not signal the
  // event; waiting for it would only run into the time-out.
  const bool waited = sent == 0 || AspiRecordStatus(srb) == 0;
  const bool signalled = waited && AwaitAspiCompletion(aspi_, clock_, event, timeout_seconds);
  if (signalled) {
    aspi_.ResetCompletionEvent(event);
  }

  const auto result = static_cast<RequestStatus>(AspiRecordStatus(srb));
  request_.host_status = srb->srb_ha_stat;
  request_.target_status = srb->srb_targ_stat;
  request_.sense_length = static_cast<std::uint32_t>(srb->sense_area[7]) + 8U;
  std::copy_n(srb->sense_area, aspi::kSenseLength, request_.sense.begin());
  // The caller's data comes back whatever the direction and the outcome.
  if (length != 0) {
    std::memcpy(data, staging_, length);
  }

  if (result == RequestStatus::SS_PENDING) {
    SettleTimedOut(srb, event);
  } else {
    if (waited && !signalled) {
      AwaitAspiCompletion(aspi_, clock_, event, kLateSignalGraceSeconds);
    }
    aspi_.ReleaseLocked(srb);
    aspi_.CloseCompletionEvent(event);
  }
  in_flight_ = nullptr;
  return result;
}

// The library still holds a request the wait gave up on, and may write to its record, signal
// its event and fill the staging area at any later time. It is asked to abort the request, but
// the time-out has already run out: the attempt returns now, without waiting for the abort or
// for the request. Whatever the library has not given back is set aside until it does, and the
// next attempt takes a new staging area.
void AspiTransport::SettleTimedOut(SrbExecScsiCmd* srb, platform::EventHandle event) {
  Trace("ASPI Abort! HA=%d SRB=%p\n", srb->srb_ha_id, static_cast<void*>(srb));
  SendAbort(srb, srb->srb_ha_id, /*wait_seconds=*/0, WindowMessages::kLeft);
  // A request the library took back at once and posted is released now; anything else is set
  // aside for a later attempt to release once the library has let go of it.
  if (AspiRecordStatus(srb) != 0 && aspi_.WaitForCompletion(event, 0)) {
    aspi_.ReleaseLocked(srb);
    aspi_.CloseCompletionEvent(event);
    return;
  }
  held_.Hold(srb, event, staging_block_);
  staging_block_ = nullptr;
  staging_ = nullptr;
}

RequestStatus AspiTransport::SendAbort(void* to_abort, std::uint8_t host_adapter,
                                       std::uint32_t wait_seconds, WindowMessages messages) {
  if (abort_record_ == nullptr) {
    abort_record_ = aspi_.AllocateLocked(sizeof(SrbAbort));
    if (abort_record_ == nullptr) {
      return RequestStatus::RS_NO_MEMORY;
    }
  }
  auto* const srb = ::new (abort_record_) SrbAbort{};
  srb->srb_cmd = aspi::kScAbortSrb;
  srb->srb_ha_id = host_adapter;
  srb->srb_to_abort = to_abort;
  aspi_.SendCommand(module_, srb);
  const std::uint8_t status = AwaitAspiRecordStatus(aspi_, clock_, srb, wait_seconds, messages);
  // An abort the library has not answered yet keeps its record: the next abort takes a new one.
  if (status == 0) {
    held_.Hold(abort_record_, nullptr, nullptr);
    abort_record_ = nullptr;
  }
  return static_cast<RequestStatus>(status);
}

RequestStatus AspiTransport::AbortRequest() {
  if (!bound_) {
    return RequestStatus::SS_FAILED_INIT;
  }
  if (in_flight_ == nullptr) {
    return RequestStatus::SS_COMP;
  }
  Trace("ASPI Abort! HA=%d SRB=%p\n", in_flight_->srb_ha_id, static_cast<void*>(in_flight_));
  return SendAbort(in_flight_, in_flight_->srb_ha_id, kAbortWaitSeconds, WindowMessages::kPumped);
}

RequestStatus AspiTransport::CompleteAbort() {
  Trace("%s", "ASPI Abort complete\n");
  PumpWindowMessagesFor(aspi_, clock_, kAbortWaitSeconds);
  return RequestStatus::SS_COMP;
}

RequestStatus AspiTransport::ResetDevice(std::uint8_t& host_status, std::uint8_t& target_status) {
  if (!bound_) {
    return RequestStatus::SS_FAILED_INIT;
  }
  void* const memory = aspi_.AllocateLocked(sizeof(SrbBusDeviceReset));
  if (memory == nullptr) {
    return RequestStatus::RS_NO_MEMORY;
  }
  auto* const srb = ::new (memory) SrbBusDeviceReset{};
  srb->srb_cmd = aspi::kScResetDev;
  srb->srb_ha_id = request_.address.host_adapter;
  srb->srb_target = request_.address.target;
  Trace("ASPI RESET! HA=%d,ID=%d %p\n", srb->srb_ha_id, srb->srb_target, memory);
  aspi_.SendCommand(module_, srb);
  const std::uint8_t status =
      AwaitAspiRecordStatus(aspi_, clock_, srb, kResetWaitSeconds, WindowMessages::kPumped);
  host_status = srb->srb_ha_stat;
  target_status = srb->srb_targ_stat;
  if (status == 0) {
    held_.Hold(memory, nullptr, nullptr);
  } else {
    aspi_.ReleaseLocked(memory);
  }
  return static_cast<RequestStatus>(status);
}

RequestStatus AspiTransport::HostAdapterInquiry(std::uint8_t host_adapter, HostAdapterInfo& info) {
  if (!bound_) {
    return RequestStatus::SS_FAILED_INIT;
  }
  if (adapter_inquiry_record_ == nullptr) {
    adapter_inquiry_record_ = aspi_.AllocateLocked(sizeof(SrbHaInquiry));
    if (adapter_inquiry_record_ == nullptr) {
      return RequestStatus::RS_NO_MEMORY;
    }
  }
  auto* const srb = ::new (adapter_inquiry_record_) SrbHaInquiry{};
  srb->srb_cmd = aspi::kScHaInquiry;
  srb->srb_ha_id = host_adapter;
  aspi_.SendCommand(module_, srb);
  const std::uint8_t status = AwaitAspiRecordStatus(aspi_, clock_, srb, kHostAdapterInquirySeconds,
                                                    WindowMessages::kPumped);
  if (status == ToByte(RequestStatus::SS_COMP)) {
    info.scsi_id = srb->ha_scsi_id;
    CopyField(srb->ha_manager_id, info.manager_id);
    CopyField(srb->ha_identifier, info.identifier);
    CopyField(srb->ha_unique, info.unique);
  } else if (status == 0) {
    held_.Hold(adapter_inquiry_record_, nullptr, nullptr);
    adapter_inquiry_record_ = nullptr;
  }
  return static_cast<RequestStatus>(status);
}

RequestStatus AspiTransport::Identify(std::string& identity) {
  TestUnitReady();
  enumeration_data_.fill(0);
  SetDataBuffer(enumeration_data_.data(), kIdentificationInquiryBytes);
  std::array<std::uint8_t, kMaxCdbLength> cdb = kIdentificationInquiry.bytes;
  // The raw CDB carries no name of its own; without one a failure would be described with the
  // name of the TEST UNIT READY before it.
  request_.command_name = AspiCommandName(opcode::kInquiry);
  const RequestStatus result = ExecuteCdb6(cdb.data(), kIdentificationTimeoutSeconds);
  const bool optical =
      result == RequestStatus::SS_COMP && IsOpticalPeripheral(enumeration_data_[0]);
  identity = FormatText("%16.28s", optical ? IdentityText(enumeration_data_).c_str() : "");
  return result;
}

std::uint8_t AspiTransport::Enumerate() {
  if (!bound_) {
    return 0;
  }
  count_ = 0;
  for (std::uint8_t host_adapter = 0;
       host_adapter < adapter_count_ && host_adapter < kMaxHostAdapters; ++host_adapter) {
    HostAdapterInfo adapter;
    if (HostAdapterInquiry(host_adapter, adapter) != RequestStatus::SS_COMP) {
      break;
    }
    for (std::uint8_t target = 0; target < kMaxTargets; ++target) {
      if (target == adapter.scsi_id) {
        continue;
      }
      request_.address = DriveAddress{};
      request_.address.host_adapter = host_adapter;
      request_.address.target = target;
      std::string identity;
      // The identity text is at least 16 characters; the product is its characters 8 to 23.
      if (Identify(identity) != RequestStatus::SS_COMP ||
          identity.substr(8, kTargetProduct.size()).find(kTargetProduct) == std::string::npos) {
        continue;
      }
      entries_[count_] = FormatText("%d:%d: %16.28s", host_adapter, target, identity.c_str());
      ++count_;
    }
  }
  return count_;
}

}  // namespace fwu
