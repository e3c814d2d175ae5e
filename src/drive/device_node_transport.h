#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "drive/staging.h"
#include "drive/transport.h"
#include "platform/locale.h"
#include "platform/scsi_command_driver.h"

namespace fwu {

// Commands to drives named by a device path, through the system's generic SCSI interface. It
// speaks the pass-through transport's language (the same error texts, time-out and staging),
// but keeps the selected drive open from its first command until another drive is selected or
// the drive is released: opening a device can make the system talk to the drive itself, which
// must not happen between the steps of a download.
class DeviceNodeTransport final : public Transport {
 public:
  static constexpr std::uint32_t kCommandTimeoutSeconds = 7200;  // passed on, never used
  static constexpr std::size_t kMaxDrives = 32;
  // The address enumeration probes each candidate through.
  static constexpr std::uint8_t kProbeSlot = 0xFF;

  DeviceNodeTransport(platform::ScsiCommandDriver& driver, const platform::Locale& locale);
  ~DeviceNodeTransport() override;
  DeviceNodeTransport(const DeviceNodeTransport&) = delete;
  DeviceNodeTransport& operator=(const DeviceNodeTransport&) = delete;

  // Enumeration probes these paths instead of the system's optical drives.
  void ProbeOnly(std::vector<std::string> paths) { probe_only_ = std::move(paths); }

  // Lists the drives whose INQUIRY names the target product, as "<path>   <identity>".
  std::uint8_t Enumerate() override;
  std::string GetEntry(std::uint8_t index) const override;
  void Select(std::uint8_t index) override;

  // The listed drive's device path and its INQUIRY identity text (vendor, product, revision).
  std::string DevicePath(std::uint8_t index) const;
  std::string Identity(std::uint8_t index) const;

  // Closes the drive kept open; the next command opens it again.
  void ReleaseDrive();

 protected:
  RequestStatus ExecuteOnce(const std::uint8_t* cdb, std::uint8_t cdb_length,
                            std::uint32_t timeout_seconds) override;

 private:
  struct Entry {
    std::string path;
    std::string identity;
  };

  const std::string* PathOf(std::uint8_t slot) const;
  platform::DriveHandle HeldDrive(std::uint8_t slot, const std::string& path);
  std::string SystemMessageLine(int system_error);

  platform::ScsiCommandDriver& driver_;
  const platform::Locale& locale_;
  std::optional<std::vector<std::string>> probe_only_;
  std::vector<Entry> entries_;
  std::string probe_path_;
  bool busy_ = false;
  std::uint8_t held_slot_ = 0;
  platform::DriveHandle held_ = platform::kNoDrive;
  // Enumeration's INQUIRY buffer lives here, not on the stack: the data buffer it names stays
  // in force after Enumerate returns.
  std::array<std::uint8_t, 256> enumeration_data_{};
  alignas(16) std::array<std::uint8_t, kStagingAreaBytes> staging_{};
};

}  // namespace fwu
