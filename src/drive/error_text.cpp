#include "drive/error_text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

#include "drive/status_texts.h"
#include "resources/format.h"

namespace fwu {
namespace {

struct AspiResultText {
  RequestStatus result;
  std::string_view text;
};

// What the ASPI text says for each result that needs no further look at the request. SS_ERR is
// described from the status bytes instead; anything not listed is unexpected.
constexpr auto kAspiResultTexts = std::to_array<AspiResultText>({
    {RequestStatus::SS_PENDING, "Aspi Timeout Error."},
    {RequestStatus::SS_ABORTED, "Aborted."},
    {RequestStatus::SS_ABORT_FAIL, "Failed Abort."},
    {RequestStatus::SS_INVALID_HA, "Invalid Ha."},
    {RequestStatus::SS_NO_DEVICE, "No Device."},
    {RequestStatus::SS_INVALID_SRB, "Invalid SRB."},
    {RequestStatus::SS_FAILED_INIT, "Faild Initailize."},
    {RequestStatus::SS_ASPI_IS_BUSY, "Aspi is busy."},
    {RequestStatus::RS_TARGET_BUSY, "This target is executing now."},
    {RequestStatus::RS_NO_MEMORY, "Memory Allocation Error."},
    {RequestStatus::RS_COMPARE_ERROR, "Data Compare Error."},
});

constexpr std::string_view kUnexpectedResultText = "ASPI Error";

// ASC, ASCQ and sense byte 19 of a check condition. Byte 19 is zero where the transport received
// fewer sense bytes.
std::string CheckConditionCodesText(const ScsiRequest& request) {
  return FormatText(" %02X-%02X (%02X)", request.Asc(), request.Ascq(), request.SenseByte19());
}

// SS_ERR: the most specific layer that reports something wins.
std::string AspiStatusBytesText(const ScsiRequest& request) {
  if (request.host_status != 0) {
    return HostStatusText(kAspiTexts, request.host_status);
  }
  if (request.target_status != 0) {
    std::string text = TargetStatusText(kAspiTexts, request.target_status);
    if (request.target_status == kScsiStatusCheckCondition) {
      text += CheckConditionCodesText(request);
    }
    return text;
  }
  return "Scsi Error.";
}

}  // namespace

void ComposeAspiErrorText(ScsiRequest& request, RequestStatus result,
                          const UnknownCompletionReporter& report) {
  request.error_text = request.command_name + " Status : ";
  if (result == RequestStatus::SS_ERR) {
    request.error_text += AspiStatusBytesText(request);
    return;
  }
  const auto* known = std::find_if(kAspiResultTexts.begin(), kAspiResultTexts.end(),
                                   [&](const AspiResultText& row) { return row.result == result; });
  if (known != kAspiResultTexts.end()) {
    request.error_text += known->text;
    return;
  }
  request.error_text += kUnexpectedResultText;
  if (report) {
    report("Aspi Error : " + CompletionCodeText(kAspiTexts, ToByte(result)));
  }
}

void ComposePassThroughErrorText(ScsiRequest& request) {
  request.error_text = request.command_name;
  if (request.target_status == kScsiStatusCheckCondition) {
    request.error_text += CheckConditionCodesText(request);
    request.last_check_condition = {request.Asc(), request.Ascq(), request.SenseByte19(),
                                    request.SenseKey()};
    return;
  }
  request.error_text += TargetStatusText(kPassThroughTexts, request.target_status);
}

}  // namespace fwu
