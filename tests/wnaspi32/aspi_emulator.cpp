// wnaspi32.dll for the Windows tests: an ASPI manager with one host adapter (its own SCSI id 7)
// and the emulated XT-M7731 drive at target 1. The program loads it on the Windows 9x path as it
// would load the real manager. Requests to the drive complete on the manager's own thread,
// which then signals SRB_PostProc, as a real manager does.
//
// Set up through the environment:
//   FWU_ASPI_IMAGE     the plain firmware image the drive accepts (it installs revision and
//                      build of the program's image list entry);
//   FWU_ASPI_REVISION  the drive's revision before the update (default "1029");
//   FWU_ASPI_REPORT    the drive's report path: its summary and the image it received after
//                      every SEND DIAGNOSTIC, and its command log (drive_report/reported_drive.h),
//                      the same files the SG_IO emulator writes, judged by the same program.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <span>
#include <string>

#include "drive/aspi_records.h"
#include "drive_report/reported_drive.h"
#include "platform/win32/windows_api.h"

namespace {

using fwu::SrbExecScsiCmd;
using fwu::SrbHaInquiry;

constexpr std::uint8_t kSsPending = 0x00;
constexpr std::uint8_t kSsComp = 0x01;
constexpr std::uint8_t kSsAborted = 0x02;
constexpr std::uint8_t kSsErr = 0x04;
constexpr std::uint8_t kSsInvalidHa = 0x81;
constexpr std::uint8_t kSsInvalidSrb = 0xE0;
constexpr std::uint8_t kHaStatusSelectionTimeout = 0x11;
constexpr std::uint8_t kOwnScsiId = 7;
constexpr std::uint8_t kDriveTarget = 1;

std::string Environment(const char* name) {
  char value[1024] = {};
  const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
  return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

// The manager: the drive, the requests waiting for it, and the thread that serves them.
class Manager {
 public:
  Manager()
      : drive_(Options(), fwu::test::FileBytes(Environment("FWU_ASPI_IMAGE")),
               "pid " + std::to_string(GetCurrentProcessId()) + " wnaspi32.dll") {
    InitializeCriticalSection(&lock_);
    work_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  }
  Manager(const Manager&) = delete;
  Manager& operator=(const Manager&) = delete;

  DWORD Send(void* record) {
    auto* const header = static_cast<std::uint8_t*>(record);
    switch (header[0]) {
      case fwu::aspi::kScHaInquiry:
        return Complete(record, HostAdapterInquiry(*static_cast<SrbHaInquiry*>(record)));
      case fwu::aspi::kScExecScsiCmd:
        return Queue(*static_cast<SrbExecScsiCmd*>(record));
      case fwu::aspi::kScAbortSrb:
        return Complete(record, Abort(static_cast<fwu::SrbAbort*>(record)->srb_to_abort));
      case fwu::aspi::kScResetDev:
        return Complete(record, kSsComp);
      default:
        return Complete(record, kSsInvalidSrb);
    }
  }

 private:
  static fwu::test::DriveOptions Options() {
    fwu::test::DriveOptions options;
    const std::string revision = Environment("FWU_ASPI_REVISION");
    if (!revision.empty()) {
      options.revision = revision;
    }
    options.report = Environment("FWU_ASPI_REPORT");
    return options;
  }

  static DWORD Complete(void* record, std::uint8_t status) {
    // The status byte goes last: the caller reads the rest once it has left 0.
    MemoryBarrier();
    static_cast<volatile std::uint8_t*>(record)[fwu::aspi::kStatusOffset] = status;
    return status;
  }

  static std::uint8_t HostAdapterInquiry(SrbHaInquiry& inquiry) {
    if (inquiry.srb_ha_id != 0) {
      return kSsInvalidHa;
    }
    inquiry.ha_count = 1;
    inquiry.ha_scsi_id = kOwnScsiId;
    std::memcpy(inquiry.ha_manager_id, "ASPI for WIN32  ", 16);
    std::memcpy(inquiry.ha_identifier, "EMULATED BUS    ", 16);
    return kSsComp;
  }

  DWORD Queue(SrbExecScsiCmd& request) {
    if (request.srb_ha_id != 0) {
      return Complete(&request, kSsInvalidHa);
    }
    EnterCriticalSection(&lock_);
    queue_.push_back(&request);
    if (thread_ == nullptr) {
      thread_ = CreateThread(nullptr, 0, &Manager::Serve, this, 0, nullptr);
    }
    LeaveCriticalSection(&lock_);
    SetEvent(work_);
    return kSsPending;
  }

  std::uint8_t Abort(void* to_abort) {
    EnterCriticalSection(&lock_);
    bool found = false;
    for (auto it = queue_.begin(); it != queue_.end(); ++it) {
      if (*it == to_abort) {
        queue_.erase(it);
        found = true;
        break;
      }
    }
    LeaveCriticalSection(&lock_);
    if (found) {
      Finish(*static_cast<SrbExecScsiCmd*>(to_abort), kSsAborted);
    }
    return kSsComp;
  }

  static DWORD WINAPI Serve(void* parameter) {
    auto* manager = static_cast<Manager*>(parameter);
    for (;;) {
      WaitForSingleObject(manager->work_, INFINITE);
      while (SrbExecScsiCmd* request = manager->Next()) {
        manager->Execute(*request);
      }
    }
  }

  SrbExecScsiCmd* Next() {
    EnterCriticalSection(&lock_);
    SrbExecScsiCmd* request = nullptr;
    if (!queue_.empty()) {
      request = queue_.front();
      queue_.pop_front();
    }
    LeaveCriticalSection(&lock_);
    return request;
  }

  void Execute(SrbExecScsiCmd& request) {
    if (request.srb_target != kDriveTarget || request.srb_lun != 0) {
      request.srb_ha_stat = kHaStatusSelectionTimeout;
      Finish(request, kSsErr);
      return;
    }
    fwu::DataDirection direction = fwu::DataDirection::kNone;
    if ((request.srb_flags & fwu::aspi::kSrbDirIn) != 0) {
      direction = fwu::DataDirection::kIn;
    } else if ((request.srb_flags & fwu::aspi::kSrbDirOut) != 0) {
      direction = fwu::DataDirection::kOut;
    }
    const std::size_t cdb_length = std::min<std::size_t>(request.srb_cdb_len, fwu::aspi::kCdbBytes);
    const fwu::emulator::CommandOutcome outcome = drive_.Execute(
        std::span<const std::uint8_t>(request.cdb_byte, cdb_length), direction,
        std::span<std::uint8_t>(request.srb_buf_pointer,
                                request.srb_buf_pointer == nullptr ? 0 : request.srb_buf_len));
    if (!outcome.completed) {
      return;  // the drive never answers; only an abort settles the request
    }
    request.srb_ha_stat = 0;
    request.srb_targ_stat = outcome.status;
    const std::size_t sense = std::min<std::size_t>(
        {request.srb_sense_len, fwu::aspi::kSenseAreaBytes, outcome.sense.size()});
    std::memcpy(request.sense_area, outcome.sense.data(), sense);
    Finish(request, outcome.status == 0 ? kSsComp : kSsErr);
  }

  static void Finish(SrbExecScsiCmd& request, std::uint8_t status) {
    const bool notify = (request.srb_flags & fwu::aspi::kSrbEventNotify) != 0;
    HANDLE event = request.srb_post_proc;
    Complete(&request, status);
    if (notify && event != nullptr) {
      SetEvent(event);
    }
  }

  fwu::test::ReportedDrive drive_;
  CRITICAL_SECTION lock_{};
  HANDLE work_ = nullptr;
  HANDLE thread_ = nullptr;
  std::deque<SrbExecScsiCmd*> queue_;
};

// Built on first use, never destroyed: its thread may still run while the process ends.
Manager& TheManager() {
  static auto* const manager = new Manager();
  return *manager;
}

}  // namespace

// The manager's two entry points, with the C calling convention and names of the published
// interface.
extern "C" {
__declspec(dllexport) DWORD GetASPI32SupportInfo();
__declspec(dllexport) DWORD SendASPI32Command(void* request);
}

extern "C" __declspec(dllexport) DWORD GetASPI32SupportInfo() {
  TheManager();
  return (static_cast<DWORD>(kSsComp) << 8U) | 1U;
}

extern "C" __declspec(dllexport) DWORD SendASPI32Command(void* request) {
  return request == nullptr ? kSsInvalidSrb : TheManager().Send(request);
}
