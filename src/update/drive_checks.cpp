#include "update/drive_checks.h"

#include <algorithm>
#include <array>

#include "drive/identity.h"
#include "resources/update_texts.h"
#include "update/download_page.h"

namespace fwu {

namespace {

constexpr std::size_t kInquiryBufferBytes = 256;
// The version number is read from the last two characters.
constexpr std::size_t kVersionNumberWidth = 2;

struct OutcomeEntry {
  DriveCheckOutcome outcome;
  const TextPair* status;
};

constexpr std::array<OutcomeEntry, 4> kOutcomes{{
    {DriveCheckOutcome::kNotSupportedDrive, &texts::kNotSupportedDriveStatus},
    {DriveCheckOutcome::kNotSupportedFirmware, &texts::kNotSupportedFirmwareStatus},
    {DriveCheckOutcome::kUpdateUnnecessary, &texts::kUpdateUnnecessaryStatus},
    {DriveCheckOutcome::kUpdateAllowed, &texts::kUpdateAllowedStatus},
}};

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

RequestStatus ReadInquiry(DriveTransport& transport, std::span<std::uint8_t> buffer) {
  transport.SetDataBuffer(buffer.data(), kIdentificationInquiryBytes);
  return transport.Inquiry(kIdentificationInquiryBytes);
}

// The sibling model's early revisions read as a number with no digit test. A byte below '0'
// makes the number smaller and one above '9' makes it larger, so a revision with other bytes
// there may be refused or may pass.
bool IsRefusedSibling(std::span<const std::uint8_t> inquiry_data) {
  if (ProductText(inquiry_data).find(kSiblingModel) == std::string::npos) {
    return false;
  }
  const int revision = (inquiry_data[34] - 0x30) * 10 + (inquiry_data[35] - 0x30);
  return revision < 30 && inquiry_data[20] == '1' && inquiry_data[21] == '0';
}

}  // namespace

const TextPair& StatusTextOf(DriveCheckOutcome outcome) {
  return *std::find_if(kOutcomes.begin(), kOutcomes.end(), [outcome](const OutcomeEntry& entry) {
            return entry.outcome == outcome;
          })->status;
}

std::optional<DriveIdentification> QueryIdentification(DriveTransport& transport,
                                                       std::span<std::uint8_t> buffer) {
  constexpr auto kQuery = ShortPage(sub_command::kIdentify, 0x00);
  std::copy(kQuery.begin(), kQuery.end(), buffer.begin());
  transport.SetDataBuffer(buffer.data(), kQuery.size());
  if (!Succeeded(transport.SendDiagnostic(0, kQuery.size()))) {
    return std::nullopt;
  }
  transport.SetDataBuffer(buffer.data(), kIdentificationResultBytes);
  if (!Succeeded(transport.ReceiveDiagnosticResults(kIdentificationResultBytes))) {
    return std::nullopt;
  }
  return DriveIdentification{TextAt(buffer, 6, 2), static_cast<std::int8_t>(buffer[15])};
}

std::optional<std::size_t> FindImage(std::span<const FirmwareImage> images,
                                     std::string_view drive_code) {
  const auto found = std::find_if(images.begin(), images.end(), [&](const FirmwareImage& image) {
    return image.drive_code == drive_code;
  });
  if (found == images.end()) {
    return std::nullopt;
  }
  return static_cast<std::size_t>(found - images.begin());
}

std::optional<int> VersionNumber(std::string_view text) {
  std::string_view field = text.substr(text.size() - std::min(text.size(), kVersionNumberWidth));
  // Blanks before the number are skipped and do not count towards the width.
  const std::size_t first = field.find_first_not_of(" \t\n\v\f\r");
  field.remove_prefix(std::min(first, field.size()));
  int sign = 1;
  if (!field.empty() && (field.front() == '-' || field.front() == '+')) {
    sign = field.front() == '-' ? -1 : 1;
    field.remove_prefix(1);
  }
  int number = 0;
  std::size_t digits = 0;
  while (digits < field.size() && IsDigit(field[digits])) {
    number = number * 10 + (field[digits] - '0');
    ++digits;
  }
  if (digits == 0) {
    return std::nullopt;
  }
  return sign * number;
}

std::optional<DriveCheckOutcome> CheckModelAndRevision(std::span<const std::uint8_t> inquiry_data) {
  if (!ProductIsTarget(inquiry_data)) {
    return DriveCheckOutcome::kNotSupportedDrive;
  }
  const std::string revision = RevisionText(inquiry_data);
  if (revision.empty() || revision[0] != '1') {
    return DriveCheckOutcome::kNotSupportedDrive;
  }
  if (revision.size() < 2 || revision[1] != '0') {
    return DriveCheckOutcome::kNotSupportedFirmware;
  }
  return std::nullopt;
}

DriveCheckOutcome CompareWithImage(std::string_view drive_revision, std::int8_t drive_build,
                                   const FirmwareImage& image) {
  const std::optional<int> drive = VersionNumber(drive_revision);
  const std::optional<int> offered = VersionNumber(image.version);
  if (!drive || !offered) {
    return DriveCheckOutcome::kNotSupportedFirmware;
  }
  if (*drive > *offered || (*drive == *offered && image.build <= drive_build)) {
    return DriveCheckOutcome::kUpdateUnnecessary;
  }
  return DriveCheckOutcome::kUpdateAllowed;
}

DriveCheckOutcome CheckDrive(DriveTransport& transport, std::span<const FirmwareImage> images,
                             DriveCheckView& view) {
  const int selection = view.DriveSelection();
  if (selection < 0) {
    // Nothing to check: the dialog says so and keeps Update Start disabled.
    view.ShowStatus(DriveCheckOutcome::kNotSupportedDrive);
    view.EnableUpdateStart(false);
    view.SetNewVersion("");
    return DriveCheckOutcome::kNotSupportedDrive;
  }
  transport.Select(static_cast<std::uint8_t>(selection));
  std::array<std::uint8_t, kInquiryBufferBytes> buffer{};
  const bool answered = Succeeded(ReadInquiry(transport, buffer));
  std::string revision;
  if (answered) {
    revision = RevisionText(buffer);
    view.SetCurrentRevision(revision);
  } else {
    view.Beep();
  }
  view.ShowStatus(DriveCheckOutcome::kNotSupportedDrive);
  view.EnableUpdateStart(false);
  view.SetNewVersion("");
  if (!answered) {
    return DriveCheckOutcome::kNotSupportedDrive;
  }
  if (const auto refused = CheckModelAndRevision(buffer)) {
    if (*refused != DriveCheckOutcome::kNotSupportedDrive) {
      view.ShowStatus(*refused);
    }
    return *refused;
  }
  const std::optional<DriveIdentification> identification = QueryIdentification(transport, buffer);
  if (!identification) {
    return DriveCheckOutcome::kNotSupportedDrive;
  }
  const std::optional<std::size_t> entry = FindImage(images, identification->drive_code);
  if (!entry) {
    view.ShowStatus(DriveCheckOutcome::kNotSupportedDrive);
    return DriveCheckOutcome::kNotSupportedDrive;
  }
  const FirmwareImage& image = images[*entry];
  view.SetNewVersion(image.version);
  const DriveCheckOutcome outcome = CompareWithImage(revision, identification->build, image);
  if (outcome == DriveCheckOutcome::kUpdateAllowed) {
    view.EnableUpdateStart(true);
  }
  view.ShowStatus(outcome);
  return outcome;
}

StartCheckResult EvaluateBeforeStart(DriveTransport& transport,
                                     std::span<const FirmwareImage> images) {
  using Kind = StartCheckResult::Kind;
  std::array<std::uint8_t, kInquiryBufferBytes> buffer{};
  if (!Succeeded(ReadInquiry(transport, buffer))) {
    return {Kind::kTransportError};
  }
  if (IsRefusedSibling(buffer)) {
    return {Kind::kRefused, 0, &texts::kNotSupportVersion};
  }
  const std::optional<DriveIdentification> identification = QueryIdentification(transport, buffer);
  if (!identification) {
    return {Kind::kTransportError};
  }
  const std::optional<std::size_t> entry = FindImage(images, identification->drive_code);
  if (!entry) {
    return {Kind::kRefused, 0, &texts::kNotSupport};
  }
  return {Kind::kReady, *entry};
}

StartCheckResult CheckBeforeStart(DriveTransport& transport, std::span<const FirmwareImage> images,
                                  platform::DialogHost& host, platform::WindowHandle owner,
                                  MessageLanguage language) {
  const StartCheckResult result = EvaluateBeforeStart(transport, images);
  if (result.kind == StartCheckResult::Kind::kRefused) {
    host.ShowMessageBox(owner, result.refusal->In(language), texts::kMessageCaption,
                        platform::kMbOk);
  }
  return result;
}

}  // namespace fwu
