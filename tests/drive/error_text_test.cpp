#include "drive/error_text.h"

#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace fwu {
namespace {

using ::testing::MockFunction;
using ::testing::StrictMock;

ScsiRequest RequestNamed(const std::string& name) {
  ScsiRequest request;
  request.command_name = name;
  return request;
}

void SetCheckCondition(ScsiRequest& request, std::uint8_t sense_key, std::uint8_t asc,
                       std::uint8_t ascq, std::uint8_t byte19) {
  request.target_status = kScsiStatusCheckCondition;
  request.sense[2] = sense_key;
  request.sense[12] = asc;
  request.sense[13] = ascq;
  request.sense[19] = byte19;
}

class AspiErrorTextTest : public ::testing::Test {
 protected:
  void Compose(RequestStatus result) {
    ComposeAspiErrorText(request_, result, reporter_.AsStdFunction());
  }

  ScsiRequest request_ = RequestNamed("Send Diagnostic");
  StrictMock<MockFunction<void(const std::string&)>> reporter_;
};

TEST_F(AspiErrorTextTest, CheckConditionShowsTheSenseCodes) {
  request_ = RequestNamed("Inquiry");
  SetCheckCondition(request_, 0x05, 0x24, 0x00, 0x00);
  Compose(RequestStatus::SS_ERR);
  EXPECT_EQ(request_.error_text, "Inquiry Status : Check Condition. 24-00 (00)");

  request_.sense[19] = 0x5A;
  Compose(RequestStatus::SS_ERR);
  EXPECT_EQ(request_.error_text, "Inquiry Status : Check Condition. 24-00 (5A)");
}

TEST_F(AspiErrorTextTest, ErrorResultIsDescribedByTheFirstNonzeroStatusLayer) {
  request_.host_status = 0x11;
  SetCheckCondition(request_, 0x05, 0x24, 0x00, 0x00);
  Compose(RequestStatus::SS_ERR);
  EXPECT_EQ(request_.error_text, "Send Diagnostic Status : Selection timeout.");

  request_.host_status = 0x20;
  Compose(RequestStatus::SS_ERR);
  EXPECT_EQ(request_.error_text, "Send Diagnostic Status : Unknown Ha status:20");

  request_.host_status = 0;
  request_.target_status = 0x08;
  Compose(RequestStatus::SS_ERR);
  EXPECT_EQ(request_.error_text, "Send Diagnostic Status : Target Busy.");

  request_.target_status = 0x28;
  Compose(RequestStatus::SS_ERR);
  EXPECT_EQ(request_.error_text, "Send Diagnostic Status : Unknown Target status:28");

  request_.target_status = 0;
  Compose(RequestStatus::SS_ERR);
  EXPECT_EQ(request_.error_text, "Send Diagnostic Status : Scsi Error.");
}

TEST_F(AspiErrorTextTest, ExpectedResultsHaveFixedTextsAndAreNotReported) {
  const std::pair<RequestStatus, std::string> cases[] = {
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
  };
  for (const auto& [result, text] : cases) {
    Compose(result);
    EXPECT_EQ(request_.error_text, "Send Diagnostic Status : " + text) << int{ToByte(result)};
  }
}

TEST_F(AspiErrorTextTest, UnexpectedResultIsReportedWithItsCompletionText) {
  EXPECT_CALL(reporter_, Call("Aspi Error : Buffer size is too big."));
  Compose(RequestStatus::SS_BUFFER_TO_BIG);
  EXPECT_EQ(request_.error_text, "Send Diagnostic Status : ASPI Error");

  EXPECT_CALL(reporter_, Call("Aspi Error : Timeout."));
  Compose(static_cast<RequestStatus>(0x05));
  EXPECT_EQ(request_.error_text, "Send Diagnostic Status : ASPI Error");
}

TEST_F(AspiErrorTextTest, UnexpectedResultWithoutReporterStillGetsItsText) {
  ComposeAspiErrorText(request_, RequestStatus::SS_BUFFER_TO_BIG, {});
  EXPECT_EQ(request_.error_text, "Send Diagnostic Status : ASPI Error");
}

TEST_F(AspiErrorTextTest, NewTextReplacesThePreviousOne) {
  request_.error_text = "Inquiry Status : Aborted.";
  Compose(RequestStatus::SS_NO_DEVICE);
  EXPECT_EQ(request_.error_text, "Send Diagnostic Status : No Device.");
}

TEST(PassThroughErrorTextTest, CheckConditionGivesBareCodesAndRecordsThem) {
  ScsiRequest request;
  request.error_text = "left over";
  SetCheckCondition(request, 0x75, 0x3A, 0x01, 0x9C);  // key bits only in the low nibble
  ComposePassThroughErrorText(request);
  EXPECT_EQ(request.error_text, " 3A-01 (9C)");
  EXPECT_EQ(request.last_check_condition.asc, 0x3A);
  EXPECT_EQ(request.last_check_condition.ascq, 0x01);
  EXPECT_EQ(request.last_check_condition.byte19, 0x9C);
  EXPECT_EQ(request.last_check_condition.sense_key, 0x05);
}

TEST(PassThroughErrorTextTest, OtherStatusesUseTheirTextAndKeepTheLastCheckCondition) {
  ScsiRequest request;
  request.last_check_condition = {0x24, 0x00, 0x00, 0x05};
  request.sense[12] = 0x11;

  request.target_status = 0x28;
  ComposePassThroughErrorText(request);
  EXPECT_EQ(request.error_text, "Queue Full.");

  request.target_status = 0x30;
  ComposePassThroughErrorText(request);
  EXPECT_EQ(request.error_text, "Unknown Target status:30");

  EXPECT_EQ(request.last_check_condition.asc, 0x24);
  EXPECT_EQ(request.last_check_condition.sense_key, 0x05);
}

}  // namespace
}  // namespace fwu
