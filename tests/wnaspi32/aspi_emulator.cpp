// wnaspi32.dll for the Windows tests: an ASPI manager with one host adapter (its own SCSI id 7)
// and the emulated XT-M7731 drive at target 1. The program loads it on the Windows 9x path as it
// would load the real manager. Requests to the drive complete on the manager's own thread,
// which then signals SRB_PostProc, as a real manager does.
//
// Set up through the environment:
//   FWU_ASPI_IMAGE     the plain firmware image the drive accepts (it installs revision and
//                      build of the program's image list entry);
//   FWU_ASPI_REVISION  the drive's revision before the update (default "1029");
//   FWU_ASPI_REPORT    a file that receives, after every SEND DIAGNOSTIC, what the drive has
//                      seen (text), and beside it, with ".bin" appended, the image it received.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "drive/aspi_records.h"
#include "emulator/emulated_drive.h"
#include "platform/win32/windows_api.h"
#include "update/firmware_image.h"

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
constexpr std::uint8_t kSendDiagnostic = 0x1D;

std::string Environment(const char* name) {
  char value[1024] = {};
  const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
  return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

std::vector<std::uint8_t> FileBytes(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  if (path.empty()) {
    return bytes;
  }
  if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
    std::uint8_t buffer[4096];
    std::size_t read = 0;
    while ((read = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
      bytes.insert(bytes.end(), buffer, buffer + read);
    }
    std::fclose(file);
  }
  return bytes;
}

const char* DownloadName(fwu::emulator::DownloadState state) {
  switch (state) {
    case fwu::emulator::DownloadState::kIdle:
      return "idle";
    case fwu::emulator::DownloadState::kArmed:
      return "armed";
    case fwu::emulator::DownloadState::kReceiving:
      return "receiving";
    case fwu::emulator::DownloadState::kPending:
      return "pending";
  }
  return "unknown";
}

// The manager: the drive, the requests waiting for it, and the thread that serves them.
class Manager {
 public:
  Manager()
      : drive_(fwu::emulator::EmulatedDrive::XtM7731(Revision())),
        plain_image_(FileBytes(Environment("FWU_ASPI_IMAGE"))),
        report_path_(Environment("FWU_ASPI_REPORT")) {
    InitializeCriticalSection(&lock_);
    work_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!plain_image_.empty()) {
      const fwu::FirmwareImage& image = fwu::ImageList().front();
      drive_.KnowFirmware(plain_image_, {std::string(image.version), image.build});
    }
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
  static std::string Revision() {
    const std::string revision = Environment("FWU_ASPI_REVISION");
    return revision.empty() ? "1029" : revision;
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
    ++commands_;
    const std::uint8_t opcode = request.cdb_byte[0];
    Finish(request, outcome.status == 0 ? kSsComp : kSsErr);
    if (opcode == kSendDiagnostic) {
      WriteReport();
    }
  }

  static void Finish(SrbExecScsiCmd& request, std::uint8_t status) {
    const bool notify = (request.srb_flags & fwu::aspi::kSrbEventNotify) != 0;
    HANDLE event = request.srb_post_proc;
    Complete(&request, status);
    if (notify && event != nullptr) {
      SetEvent(event);
    }
  }

  void WriteReport() {
    if (report_path_.empty()) {
      return;
    }
    const std::span<const std::uint8_t> received = drive_.ReceivedImage();
    const bool matches = !plain_image_.empty() && received.size() == plain_image_.size() &&
                         std::memcmp(received.data(), plain_image_.data(), received.size()) == 0;
    if (std::FILE* file = std::fopen((report_path_ + ".bin").c_str(), "wb")) {
      std::fwrite(received.data(), 1, received.size(), file);
      std::fclose(file);
    }
    if (std::FILE* file = std::fopen(report_path_.c_str(), "w")) {
      std::fprintf(file,
                   "{\"commands\": %u, \"blocks_received\": %u, \"download\": \"%s\", "
                   "\"revision\": \"%s\", \"build\": %d, \"image_equals_plain_image\": %s}\n",
                   commands_, drive_.BlocksReceived(), DownloadName(drive_.Download()),
                   drive_.Revision().c_str(), static_cast<int>(drive_.Build()),
                   matches ? "true" : "false");
      std::fclose(file);
    }
  }

  fwu::emulator::EmulatedDrive drive_;
  std::vector<std::uint8_t> plain_image_;
  std::string report_path_;
  CRITICAL_SECTION lock_{};
  HANDLE work_ = nullptr;
  HANDLE thread_ = nullptr;
  std::deque<SrbExecScsiCmd*> queue_;
  unsigned commands_ = 0;
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
