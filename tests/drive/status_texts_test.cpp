#include "drive/status_texts.h"

#include <algorithm>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

namespace fwu {
namespace {

TEST(CompletionCodeTextTest, KnownCodesHaveTheirTextAndOthersFallBackToTimeout) {
  for (const StatusTextSet* set : {&kAspiTexts, &kPassThroughTexts}) {
    EXPECT_EQ(CompletionCodeText(*set, 0x02), "Aborted.");
    EXPECT_EQ(CompletionCodeText(*set, 0xE4), "Faild Initailize.");
    EXPECT_EQ(CompletionCodeText(*set, 0xE6), "Buffer size is too big.");
    EXPECT_EQ(CompletionCodeText(*set, 0x00), "Timeout.");
    EXPECT_EQ(CompletionCodeText(*set, 0x05), "Timeout.");
    EXPECT_EQ(CompletionCodeText(*set, 0xFF), "Timeout.");
  }
}

TEST(HostStatusTextTest, UnknownStatusShowsItsCodeInHex) {
  for (const StatusTextSet* set : {&kAspiTexts, &kPassThroughTexts}) {
    EXPECT_EQ(HostStatusText(*set, 0x11), "Selection timeout.");
    EXPECT_EQ(HostStatusText(*set, 0x13), "Busfree ditect.");
    EXPECT_EQ(HostStatusText(*set, 0x14), "Phase Error.");
    EXPECT_EQ(HostStatusText(*set, 0x20), "Unknown Ha status:20");
    EXPECT_EQ(HostStatusText(*set, 0xAB), "Unknown Ha status:AB");
    // The empty terminator row is no text for status 0.
    EXPECT_EQ(HostStatusText(*set, 0x00), "Unknown Ha status:00");
  }
}

TEST(TargetStatusTextTest, TheSetsKnowDifferentStatuses) {
  EXPECT_EQ(TargetStatusText(kAspiTexts, 0x02), "Check Condition.");
  EXPECT_EQ(TargetStatusText(kPassThroughTexts, 0x02), "Check Condition.");
  EXPECT_EQ(TargetStatusText(kAspiTexts, 0x18), "Request Conflict.");
  EXPECT_EQ(TargetStatusText(kPassThroughTexts, 0x18), "Reservation Conflict.");
  EXPECT_EQ(TargetStatusText(kPassThroughTexts, 0x28), "Queue Full.");
  EXPECT_EQ(TargetStatusText(kAspiTexts, 0x28), "Unknown Target status:28");
  EXPECT_EQ(TargetStatusText(kPassThroughTexts, 0x14), "Intermediate-Condition Met.");
  EXPECT_EQ(TargetStatusText(kAspiTexts, 0x14), "Unknown Target status:14");
  EXPECT_EQ(TargetStatusText(kPassThroughTexts, 0x30), "Unknown Target status:30");
  EXPECT_EQ(TargetStatusText(kAspiTexts, 0x00), "Unknown Target status:00");
}

TEST(SenseKeyTextTest, EveryKeyHasAText) {
  for (const StatusTextSet* set : {&kAspiTexts, &kPassThroughTexts}) {
    EXPECT_EQ(SenseKeyText(*set, 0), "NO SENSE");
    EXPECT_EQ(SenseKeyText(*set, 5), "ILLIGAL REQUEST");
    EXPECT_EQ(SenseKeyText(*set, 6), "UNIT ATTENTION");
    EXPECT_EQ(SenseKeyText(*set, 9), "unknown code");
    EXPECT_EQ(SenseKeyText(*set, 14), "MISSCOMPARE");
    EXPECT_EQ(SenseKeyText(*set, 15), "unknown code");
    for (std::uint8_t key = 0; key < 16; ++key) {
      EXPECT_FALSE(SenseKeyText(*set, key).empty()) << int{key};
    }
  }
}

TEST(DriveErrorCodeTextTest, UnknownCodesReadNoError) {
  for (const StatusTextSet* set : {&kAspiTexts, &kPassThroughTexts}) {
    EXPECT_EQ(DriveErrorCodeText(*set, 0xA0), "DSP ROM ERROR");
    EXPECT_EQ(DriveErrorCodeText(*set, 0xC3), "FOCUS CAPTURE MISS");
    EXPECT_EQ(DriveErrorCodeText(*set, 0xC9), "LINER MOTOR DRIVER ERROR");
    EXPECT_EQ(DriveErrorCodeText(*set, 0xF1), "SPINDLE MOTOR ERROR");
    EXPECT_EQ(DriveErrorCodeText(*set, 0x99), "NO ERROR");
    EXPECT_EQ(DriveErrorCodeText(*set, 0x00), "NO ERROR");
  }
}

TEST(AscAscqTextTest, AspiSetExactWildcardAndUnknownRows) {
  EXPECT_EQ(AscAscqText(kAspiTexts, 0x40, 0x80), "DRAM ERROR");
  EXPECT_EQ(AscAscqText(kAspiTexts, 0x40, 0x88), "ROM UPDATE FAILURE");
  EXPECT_EQ(AscAscqText(kAspiTexts, 0x40, 0x86), "DIAGNOSTIC FAILURE ON COMPONENT(134)");
  EXPECT_EQ(AscAscqText(kAspiTexts, 0x40, 0x00), "DIAGNOSTIC FAILURE ON COMPONENT(0)");
  EXPECT_EQ(AscAscqText(kAspiTexts, 0x40, 0xFF), "DIAGNOSTIC FAILURE ON COMPONENT");
  EXPECT_EQ(AscAscqText(kAspiTexts, 0x80, 0x01), "DRIVE HARDWARE ERROR(1)");
  EXPECT_EQ(AscAscqText(kAspiTexts, 0x80, 0xFE), "DRIVE HARDWARE ERROR(254)");
  EXPECT_EQ(AscAscqText(kAspiTexts, 0x3A, 0x05), "UNKNOWN ERROR CODE");
  EXPECT_EQ(AscAscqText(kAspiTexts, 0x81, 0x00), "UNKNOWN ERROR CODE");
  EXPECT_EQ(AscAscqText(kAspiTexts, 0xFF, 0xFF), "UNKNOWN ERROR CODE");
}

TEST(AscAscqTextTest, AspiSetKeepsItsOwnSpellings) {
  EXPECT_EQ(AscAscqText(kAspiTexts, 0x08, 0x00), "LOGICAL UNIT COMMUNICATION FALURE");
  EXPECT_EQ(AscAscqText(kAspiTexts, 0x28, 0x00),
            "NOT READY TO READY TRANSITION(MEDIUM MAY HAVE CHANGED)");
  EXPECT_EQ(AscAscqText(kAspiTexts, 0x29, 0x00), "POWER ON, RESET OR BUS DEVICE RESET OCCURED");
  EXPECT_EQ(AscAscqText(kAspiTexts, 0x53, 0x02), "MEDIUM REMOVAL PRESENTED");
  // Rows taken from the standard list.
  EXPECT_EQ(AscAscqText(kAspiTexts, 0x00, 0x00), "NO ADDITIONAL SENSE INFORMATION");
  EXPECT_EQ(AscAscqText(kAspiTexts, 0x24, 0x00), "INVALID FIELD IN CDB");
  EXPECT_EQ(AscAscqText(kAspiTexts, 0x3A, 0x00), "MEDIUM NOT PRESENT");
  EXPECT_EQ(AscAscqText(kAspiTexts, 0x18, 0x01),
            "RECOVERED DATA WITH ERROR CORR. & RETRIES APPLIED");
}

TEST(AscAscqTextTest, PassThroughSetExactRowsWinOverTheWildcard) {
  EXPECT_EQ(AscAscqText(kPassThroughTexts, 0x5D, 0x00), "FAILURE PREDICTION THRESHOLD EXCEEDED");
  EXPECT_EQ(AscAscqText(kPassThroughTexts, 0x5D, 0x03),
            "SPARE AREA EXHAUSTION PREDICTION THRESHOLD EXCEEDED");
  EXPECT_EQ(AscAscqText(kPassThroughTexts, 0x5D, 0x02),
            "FAILURE PREDICTION THRESHOLD EXCEEDED (FALSE)(2)");
  EXPECT_EQ(AscAscqText(kPassThroughTexts, 0x5D, 0x10),
            "FAILURE PREDICTION THRESHOLD EXCEEDED (FALSE)(16)");
  EXPECT_EQ(AscAscqText(kPassThroughTexts, 0x80, 0x07), "DRIVE HARDWARE ERROR(7)");
  // No wildcard for the diagnostic rows in this set.
  EXPECT_EQ(AscAscqText(kPassThroughTexts, 0x40, 0x86), "UNKNOWN ERROR CODE");
  EXPECT_EQ(AscAscqText(kPassThroughTexts, 0x3A, 0x05), "UNKNOWN ERROR CODE");
}

TEST(AscAscqTextTest, PassThroughSetQuotedAndStandardRows) {
  EXPECT_EQ(AscAscqText(kPassThroughTexts, 0x53, 0x02), "MEDIUM REMOVAL PREVENTED");
  EXPECT_EQ(AscAscqText(kPassThroughTexts, 0x0C, 0x80), "WRITE ERROR - Read Modify Write Failed");
  EXPECT_EQ(AscAscqText(kPassThroughTexts, 0x40, 0x83),
            "DIAGNOSTIC FAILURE ON COMPONENT - Flash ROM 1");
  EXPECT_EQ(AscAscqText(kPassThroughTexts, 0x73, 0x06), "PROGRAM MEMORY AREA/RMA IS (almost) FULL");
  EXPECT_EQ(AscAscqText(kPassThroughTexts, 0x0E, 0x00), "Reserved");
  EXPECT_EQ(AscAscqText(kPassThroughTexts, 0x38, 0x00), "Reserved Sequential Write");
  // Rows taken from the standard list.
  EXPECT_EQ(AscAscqText(kPassThroughTexts, 0x29, 0x00),
            "POWER ON, RESET, OR BUS DEVICE RESET OCCURRED");
  EXPECT_EQ(AscAscqText(kPassThroughTexts, 0x3A, 0x02), "MEDIUM NOT PRESENT - TRAY OPEN");
  EXPECT_EQ(AscAscqText(kPassThroughTexts, 0x6F, 0x04),
            "MEDIA REGION CODE IS MISMATCHED TO LOGICAL UNIT REGION");
  EXPECT_EQ(AscAscqText(kPassThroughTexts, 0x28, 0x00),
            "NOT READY TO READY CHANGE, MEDIUM MAY HAVE CHANGED");
}

using SenseCode = std::tuple<std::uint8_t, std::uint8_t>;

std::vector<SenseCode> RowCodes(const StatusTextSet& set) {
  std::vector<SenseCode> codes;
  for (const SenseCodeText& row : set.sense_codes) {
    codes.emplace_back(row.asc, row.ascq);
  }
  return codes;
}

TEST(SenseCodeTableTest, AspiRowsAscendStrictly) {
  const std::vector<SenseCode> codes = RowCodes(kAspiTexts);
  EXPECT_EQ(std::adjacent_find(codes.begin(), codes.end(), std::greater_equal<>()), codes.end());
}

TEST(SenseCodeTableTest, PassThroughRowsAscendButForTheRepeatedMediumRemovalRow) {
  const std::vector<SenseCode> codes = RowCodes(kPassThroughTexts);
  EXPECT_EQ(std::adjacent_find(codes.begin(), codes.end(), std::greater<>()), codes.end());
  std::vector<SenseCode> repeated;
  for (std::size_t i = 1; i < codes.size(); ++i) {
    if (codes[i] == codes[i - 1]) {
      repeated.push_back(codes[i]);
    }
  }
  EXPECT_EQ(repeated, (std::vector<SenseCode>{{0x53, 0x02}}));
}

// An exact row that an earlier wildcard shadowed would never be shown.
TEST(SenseCodeTableTest, EveryRowIsFoundByItsOwnCode) {
  for (const StatusTextSet* set : {&kAspiTexts, &kPassThroughTexts}) {
    for (const SenseCodeText& row : set->sense_codes.first(set->sense_codes.size() - 1)) {
      EXPECT_EQ(AscAscqText(*set, row.asc, row.ascq), row.text)
          << int{row.asc} << "/" << int{row.ascq};
    }
  }
}

TEST(CodeTableTest, NoCodeHasTwoRows) {
  for (const StatusTextSet* set : {&kAspiTexts, &kPassThroughTexts}) {
    for (std::span<const CodeText> table :
         {set->completion_codes, set->host_statuses, set->target_statuses, set->sense_keys,
          set->drive_errors}) {
      std::set<std::uint8_t> codes;
      for (const CodeText& row : table) {
        EXPECT_TRUE(codes.insert(row.code).second) << int{row.code};
      }
    }
  }
}

TEST(StatusTextSetTest, SetsDifferOnlyInTargetStatusesAndSenseCodes) {
  EXPECT_EQ(kAspiTexts.completion_codes.data(), kPassThroughTexts.completion_codes.data());
  EXPECT_EQ(kAspiTexts.host_statuses.data(), kPassThroughTexts.host_statuses.data());
  EXPECT_EQ(kAspiTexts.sense_keys.data(), kPassThroughTexts.sense_keys.data());
  EXPECT_EQ(kAspiTexts.drive_errors.data(), kPassThroughTexts.drive_errors.data());
  EXPECT_EQ(kAspiTexts.target_statuses.size(), 4U);
  EXPECT_EQ(kPassThroughTexts.target_statuses.size(), 9U);
  EXPECT_EQ(kAspiTexts.sense_codes.size(), 66U);
  EXPECT_EQ(kPassThroughTexts.sense_codes.size(), 237U);
}

}  // namespace
}  // namespace fwu
