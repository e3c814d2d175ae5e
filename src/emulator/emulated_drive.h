#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "emulator/command_log.h"
#include "emulator/drive_state.h"
#include "emulator/fault_plan.h"
#include "emulator/inquiry_data.h"
#include "emulator/scsi_device.h"

namespace fwu::emulator {

inline constexpr std::uint32_t kDownloadBlockBytes = 32768;
inline constexpr std::uint32_t kDownloadBlockCount = 6;
inline constexpr std::uint32_t kFirmwareImageBytes = kDownloadBlockBytes * kDownloadBlockCount;
inline constexpr std::size_t kIdentificationResultBytes = 16;

// The firmware identity a drive reports: revision in INQUIRY, drive code and build in the
// identification query (SEND DIAGNOSTIC page 0x88 sub-command 0x40).
struct FirmwareIdentity {
  std::string revision;  // 4 characters
  std::int8_t build = 0;
};

struct DriveConfig {
  DeviceIdentity identity;
  std::string drive_code = "km";  // two characters at result bytes 6-7
  std::int8_t build = 32;         // signed, result byte 15
  bool medium_present = true;
  bool supports_download = true;        // false: page 0x88 answers the identification query only
  bool supports_identification = true;  // false: page 0x88 is rejected altogether
  bool unit_attention_at_power_on = false;  // report 29/00 once after power-on
};

// The emulated XT-M7731 drive (and, configured otherwise, the other devices the tests need).
// Strict: every command it does not know, every field it cannot accept, every data phase that
// does not fit and every step of the download out of order ends in CHECK CONDITION with a
// documented sense. Each Execute is one attempt; the drive never sleeps, it reports how long a
// command takes.
//
// A command is judged in this order, the first that applies deciding:
//   fault plan; no CDB (20/00); LUN bits (25/00); pending unit attention, INQUIRY exempt;
//   unknown operation code (20/00); CDB shorter than the command (24/00); data phase in the
//   wrong direction (24/00); the command's own fields and state, where data out short of the
//   parameter list length is 1A/00; data in that the host buffer cannot hold (24/00).
// Download steps: a malformed page 0x88, a download step out of order or a closing step before
// six blocks is 26/00 and leaves the download pending; so does any page refused while a download
// is under way. Only 0xF0/0x00 begins a download again.
// Rejections take 1 ms; an executed command takes its duration (SetDuration, or the default).
class EmulatedDrive : public ScsiDevice {
 public:
  explicit EmulatedDrive(DriveConfig config);

  // Devices the tests put beside the drive.
  static DriveConfig XtM7731(std::string revision = "1029", std::int8_t build = 32);
  static DriveConfig OtherModel();                   // "QUENTAR " "DVD-ROM XT-M4418", code "kx"
  static DriveConfig DirectAccessWithSameProduct();  // type 0 disk, product "DVD-ROM XT-M7731"
  static DriveConfig OtherVendor();                  // "OTHERCO " with the XT-M7731 product

  CommandOutcome Execute(std::span<const std::uint8_t> cdb, DataDirection direction,
                         std::span<std::uint8_t> data) override;

  // Firmware images the drive recognises on the closing step, and the identity each installs.
  // An unrecognised image is refused on the closing step (HARDWARE ERROR 40/88) and the
  // download stays pending.
  void KnowFirmware(std::span<const std::uint8_t> image, FirmwareIdentity identity);

  // Time source for the command log; commands are stamped 0 without one. It is called with the
  // drive locked, so it must not call back into the drive.
  void SetTimeSource(std::function<std::uint64_t()> now_ms);

  FaultPlan& Faults() { return faults_; }
  const CommandLog& Log() const { return log_; }
  CommandLog& Log() { return log_; }

  // The plain image assembled from the data blocks received so far (zero where none arrived).
  // The storage never moves; read it while no command is under way.
  std::span<const std::uint8_t> ReceivedImage() const { return state_.received_image; }
  std::uint32_t BlocksReceived() const;

  // The configuration as built; what commands have changed since is in State().
  const DriveConfig& Config() const { return config_; }
  DownloadState Download() const;
  bool MediumPresent() const;
  std::string Revision() const;
  std::int8_t Build() const;
  DriveState State() const;
  // Gives back a saved state. Fields are fitted: the revision to 4 characters, the block count
  // to at most 6, the image to 196,608 bytes.
  void SetState(const DriveState& state);

  // A disc put into the drive by hand: UNIT ATTENTION 28/00 follows, unless 29/00 is pending.
  void InsertMedium();
  // The disc taken out by hand; the drive reports no medium.
  void RemoveMedium();
  // Power cycle: removal prevention and any diagnostic result are lost, a download under way or
  // pending is left pending, and a power-on unit attention is raised when configured.
  void PowerCycle();

  // Duration of a command, settable per operation code; for SEND DIAGNOSTIC it replaces the
  // default of every page step.
  void SetDuration(std::uint8_t operation_code, std::uint32_t milliseconds);

 private:
  struct Private;  // the command handlers

  struct KnownFirmware {
    std::vector<std::uint8_t> image{};
    FirmwareIdentity identity{};
  };

  const DriveConfig config_;
  mutable std::mutex mutex_;
  DriveState state_;
  std::vector<KnownFirmware> known_firmware_;
  std::function<std::uint64_t()> now_ms_;
  std::array<std::optional<std::uint32_t>, 256> durations_{};
  FaultPlan faults_;
  CommandLog log_;
};

}  // namespace fwu::emulator
