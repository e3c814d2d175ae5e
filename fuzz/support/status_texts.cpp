#include "support/status_texts.h"

#include <algorithm>
#include <span>
#include <string_view>

#include "drive/error_text.h"
#include "drive/identity.h"
#include "drive/scsi_request.h"
#include "drive/status_texts.h"
#include "update/drive_checks.h"

namespace fwu::fuzz {
namespace {

constexpr std::size_t kMaxCommandName = 48;
constexpr std::size_t kMaxInquiry = 96;
constexpr std::size_t kMaxVersion = 8;
// "(%d)" after a wildcard row's text adds at most five characters.
constexpr std::size_t kMaxWildcardSuffix = 5;

bool IsKnownAspiResult(std::uint8_t result) {
  switch (static_cast<RequestStatus>(result)) {
    case RequestStatus::SS_PENDING:
    case RequestStatus::SS_ABORTED:
    case RequestStatus::SS_ABORT_FAIL:
    case RequestStatus::SS_ERR:
    case RequestStatus::SS_INVALID_HA:
    case RequestStatus::SS_NO_DEVICE:
    case RequestStatus::SS_INVALID_SRB:
    case RequestStatus::SS_FAILED_INIT:
    case RequestStatus::SS_ASPI_IS_BUSY:
    case RequestStatus::RS_TARGET_BUSY:
    case RequestStatus::RS_NO_MEMORY:
    case RequestStatus::RS_COMPARE_ERROR:
      return true;
    default:
      return false;
  }
}

void RequireText(const std::string& text, std::size_t longest, std::string_view what) {
  Require(!text.empty(), "a lookup gave no text");
  Require(text.size() <= longest, what);
  Require(text.find('\0') == std::string::npos, "a text with a zero byte inside");
}

void LookUpAll(const StatusTextSet& set, const ScsiRequest& request, std::uint8_t result,
               std::uint8_t code) {
  RequireText(CompletionCodeText(set, result), kMaxStatusTextLength, "a completion text too long");
  RequireText(HostStatusText(set, request.host_status), kMaxStatusTextLength,
              "a host status text too long");
  RequireText(TargetStatusText(set, request.target_status), kMaxStatusTextLength,
              "a target status text too long");
  RequireText(SenseKeyText(set, request.SenseKey()), kMaxStatusTextLength,
              "a sense key text too long");
  RequireText(SenseKeyText(set, code), kMaxStatusTextLength, "a sense key text too long");
  RequireText(DriveErrorCodeText(set, code), kMaxStatusTextLength, "a drive error text too long");
  RequireText(AscAscqText(set, request.Asc(), request.Ascq()),
              kMaxStatusTextLength + kMaxWildcardSuffix, "a sense code text too long");
  RequireText(AscAscqText(set, code, request.SenseByte19()),
              kMaxStatusTextLength + kMaxWildcardSuffix, "a sense code text too long");
}

}  // namespace

void RunStatusTexts(Tape& tape, const StatusScenario* scenario) {
  const StatusScenario none;
  const StatusScenario& planned = scenario != nullptr ? *scenario : none;
  ScsiRequest request;
  request.command_name = tape.Text(kMaxCommandName, planned.command_name);
  const std::uint8_t result = tape.Byte(planned.result);
  request.host_status = tape.Byte(planned.host_status);
  request.target_status = tape.Byte(planned.target_status);
  tape.Fill(request.sense, planned.sense);
  request.sense_length = std::uint32_t{request.sense[7]} + 8U;
  const std::uint8_t code = tape.Byte(planned.result);

  LookUpAll(kAspiTexts, request, result, code);
  LookUpAll(kPassThroughTexts, request, result, code);

  // The ASPI composer describes every result but success.
  if (result != ToByte(RequestStatus::SS_COMP)) {
    ScsiRequest aspi = request;
    std::size_t reports = 0;
    ComposeAspiErrorText(aspi, static_cast<RequestStatus>(result),
                         [&reports](const std::string& message) {
                           Require(message.starts_with("Aspi Error : "),
                                   "an unexpected completion reported without its heading");
                           ++reports;
                         });
    Require(aspi.error_text.starts_with(request.command_name + " Status : "),
            "an ASPI error text that does not begin with the command and the status heading");
    Require(reports == (IsKnownAspiResult(result) ? 0U : 1U),
            "the user was told of a completion code that has a text of its own, or not told of "
            "one that has none");
  }

  ScsiRequest pass_through = request;
  ComposePassThroughErrorText(pass_through);
  Require(pass_through.error_text.starts_with(request.command_name),
          "a pass-through error text that does not begin with the command name");
  if (request.target_status == kScsiStatusCheckCondition) {
    const CheckConditionCodes& codes = pass_through.last_check_condition;
    Require(codes.asc == request.Asc() && codes.ascq == request.Ascq() &&
                codes.byte19 == request.SenseByte19() && codes.sense_key == request.SenseKey(),
            "a check condition recorded other codes than the sense holds");
  }

  // Drive data of any length, as the identity and revision helpers read it.
  std::vector<std::uint8_t> inquiry(
      tape.Choice(kMaxInquiry + 1, std::min(planned.inquiry.size(), kMaxInquiry)));
  tape.Fill(inquiry, planned.inquiry);
  const std::string identity = IdentityText(inquiry);
  Require(identity.size() <= 28 && identity.find('\0') == std::string::npos,
          "an identity text longer than its fields");
  static_cast<void>(ProductIsTarget(inquiry));
  static_cast<void>(CheckModelAndRevision(inquiry));
  const std::size_t offset = tape.Byte(0);
  Require(TextAt(inquiry, offset, tape.Byte(0)).size() <=
              inquiry.size() - std::min(offset, inquiry.size()),
          "a text read past the data");
  const std::string version = tape.Text(kMaxVersion, planned.version);
  if (const std::optional<int> number = VersionNumber(version)) {
    Require(*number >= -9 && *number <= 99, "a version number that two characters cannot make");
  }
}

}  // namespace fwu::fuzz
