#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "drive/drive_transport.h"
#include "platform/dialog_host.h"
#include "resources/message_language.h"
#include "resources/text_pair.h"
#include "update/firmware_image.h"

namespace fwu {

// Whether the selected drive may receive the embedded image; each outcome has its status line,
// and only kUpdateAllowed enables Update Start.
enum class DriveCheckOutcome : std::uint8_t {
  kNotSupportedDrive,
  kNotSupportedFirmware,
  kUpdateUnnecessary,
  kUpdateAllowed,
};

const TextPair& StatusTextOf(DriveCheckOutcome outcome);

// A sibling model that some firmware revisions must not be updated from.
inline constexpr std::string_view kSiblingModel = "M4418";
inline constexpr std::size_t kIdentificationResultBytes = 16;

// What the drive says of itself in the identification query.
struct DriveIdentification {
  std::string drive_code;  // result bytes 6-7, at most 2 characters
  std::int8_t build = 0;   // result byte 15
};

// The identification query, all through one buffer of at least 16 bytes: SEND DIAGNOSTIC with
// page 0x88 sub-command 0x40, then RECEIVE DIAGNOSTIC RESULTS of 16 bytes. Empty when either
// command fails.
std::optional<DriveIdentification> QueryIdentification(DriveTransport& transport,
                                                       std::span<std::uint8_t> buffer);

// The first entry whose drive code equals the drive's exactly.
std::optional<std::size_t> FindImage(std::span<const FirmwareImage> images,
                                     std::string_view drive_code);

// The version number of a revision or version text: its last two characters read as a decimal
// number of at most two characters, as the C library reads "%02d": blanks before it skipped,
// a sign allowed ("1033" gives 33, "10 5" gives 5, "10-1" gives -1, "103" gives 3). Empty when
// no number can be read there.
std::optional<int> VersionNumber(std::string_view text);

// The model and the first two revision characters (INQUIRY data of at least 36 bytes): empty
// when they pass, otherwise the outcome that ends the check.
std::optional<DriveCheckOutcome> CheckModelAndRevision(std::span<const std::uint8_t> inquiry_data);

// The drive's revision and build against the image. A text without a version number never
// allows an update. The start-up search and the dialog's check both compare this way.
DriveCheckOutcome CompareWithImage(std::string_view drive_revision, std::int8_t drive_build,
                                   const FirmwareImage& image);

// The dialog as the selection-time check sees it. Showing a status puts it into the status line
// and repaints at once, so the user sees each step before the next command goes out.
class DriveCheckView {
 public:
  virtual ~DriveCheckView() = default;
  virtual int DriveSelection() const = 0;  // -1: nothing selected
  virtual void SetCurrentRevision(std::string_view revision) = 0;
  virtual void SetNewVersion(std::string_view version) = 0;
  virtual void EnableUpdateStart(bool enabled) = 0;
  virtual void ShowStatus(DriveCheckOutcome outcome) = 0;
  virtual void Beep() = 0;
};

// The selection-time check. It reports through the view; the outcome it returns is the one the
// status line shows at the end.
DriveCheckOutcome CheckDrive(DriveTransport& transport, std::span<const FirmwareImage> images,
                             DriveCheckView& view);

struct StartCheckResult {
  enum class Kind : std::uint8_t {
    kReady,           // image_index names the entry to write
    kRefused,         // refusal names the reason
    kTransportError,  // the caller shows the transport's error text
  };
  Kind kind = Kind::kRefused;
  std::size_t image_index = 0;
  const TextPair* refusal = nullptr;  // with kRefused
};

// The start-time check on the drive already selected, without telling anyone: a refusal comes
// back with its text.
StartCheckResult EvaluateBeforeStart(DriveTransport& transport,
                                     std::span<const FirmwareImage> images);

// The start-time check of the dialog: refusals are told in a message box owned by the dialog.
StartCheckResult CheckBeforeStart(DriveTransport& transport, std::span<const FirmwareImage> images,
                                  platform::DialogHost& host, platform::WindowHandle owner,
                                  MessageLanguage language);

}  // namespace fwu
