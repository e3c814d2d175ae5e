// Binding the ASPI library when the transport is built: which systems bind it, what the user is
// told when it cannot be bound, and what an unbound transport does with every operation.
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/aspi_machine.h"
#include "support/shift_jis.h"

namespace fwu {
namespace {

using ::testing::ElementsAre;

// Every operation of an unbound transport fails the same way and reaches nothing.
void ExpectUnbound(test::AspiMachine& machine) {
  AspiTransport& transport = *machine.transport;
  EXPECT_FALSE(transport.Bound());
  EXPECT_EQ(transport.Enumerate(), 0);
  EXPECT_EQ(transport.TestUnitReady(), RequestStatus::SS_FAILED_INIT);
  EXPECT_EQ(transport.GetErrorText(), "Test Unit Ready Status : Faild Initailize.");
  std::uint8_t data[44] = {};
  transport.SetDataBuffer(data, sizeof data);
  EXPECT_EQ(transport.Inquiry(44), RequestStatus::SS_FAILED_INIT);
  EXPECT_EQ(transport.GetErrorText(), "Inquiry Status : Faild Initailize.");
  AspiTransport::HostAdapterInfo info;
  EXPECT_EQ(transport.HostAdapterInquiry(0, info), RequestStatus::SS_FAILED_INIT);
  std::uint8_t host_status = 0;
  std::uint8_t target_status = 0;
  EXPECT_EQ(transport.ResetDevice(host_status, target_status), RequestStatus::SS_FAILED_INIT);
  EXPECT_EQ(transport.AbortRequest(), RequestStatus::SS_FAILED_INIT);
  EXPECT_TRUE(machine.aspi.Snapshot().sent_requests.empty());
  EXPECT_TRUE(machine.aspi.Snapshot().inquired_adapters.empty());
  EXPECT_TRUE(machine.drives.empty() || machine.drives[0]->Log().Size() == 0);
}

TEST(AspiBinding, TheNtFamilyNeverLoadsTheLibraryAndSaysNothing) {
  test::AspiMachine machine;
  machine.system.version.platform_id = platform::kPlatformWindowsNt;
  machine.aspi.AddHostAdapter();
  machine.AddDrive(0, 1, emulator::EmulatedDrive::XtM7731());
  machine.Start();
  EXPECT_EQ(machine.aspi.Snapshot().loads, 0U);
  EXPECT_TRUE(machine.dialogs.events.empty());
  ExpectUnbound(machine);
  EXPECT_TRUE(machine.dialogs.events.empty());
  machine.transport.reset();
  EXPECT_EQ(machine.aspi.Snapshot().frees, 0U);
}

TEST(AspiBinding, SupportInfoGivesTheAdapterCountFromItsLowByte) {
  test::AspiMachine machine;
  for (int i = 0; i < 3; ++i) {
    machine.aspi.AddHostAdapter();
  }
  machine.aspi.SetSupportInfo(0x0103);
  AspiTransport& transport = machine.Start();
  EXPECT_TRUE(transport.Bound());
  EXPECT_EQ(transport.AdapterCount(), 3);
  EXPECT_TRUE(machine.dialogs.events.empty());
  EXPECT_EQ(transport.Enumerate(), 0);
  EXPECT_THAT(machine.aspi.Snapshot().inquired_adapters, ElementsAre(0, 1, 2));
  // The library is freed once, when the transport goes.
  machine.transport.reset();
  EXPECT_EQ(machine.aspi.Snapshot().loads, 1U);
  EXPECT_EQ(machine.aspi.Snapshot().frees, 1U);
  EXPECT_TRUE(machine.aspi.Snapshot().misuses.empty());
}

TEST(AspiBinding, ALibraryWithoutAdaptersOrUsableCompletionCodeIsNotBound) {
  for (const std::uint32_t info : {0x0000U, 0x0003U, 0xE403U}) {
    SCOPED_TRACE(info);
    test::AspiMachine machine;
    machine.aspi.AddHostAdapter();
    machine.aspi.SetSupportInfo(info);
    machine.Start();
    ASSERT_EQ(machine.dialogs.boxes.size(), 1U);
    const test::MessageBoxRecorder::Box& box = machine.dialogs.boxes[0];
    EXPECT_EQ(box.text, "ASPI Initialize Fail!");
    EXPECT_EQ(box.caption, "Firmware Update Utility");
    EXPECT_EQ(box.style, platform::kMbOk);
    EXPECT_EQ(box.owner, 0U);
    ExpectUnbound(machine);
    EXPECT_EQ(machine.dialogs.boxes.size(), 1U);
    // It was loaded, so it is freed at the end even though it never served.
    machine.transport.reset();
    EXPECT_EQ(machine.aspi.Snapshot().frees, 1U);
  }
}

TEST(AspiBinding, AMissingLibraryOrEntryPointShowsTheSameMessage) {
  enum class Missing { kLibrary, kSupportInfo, kSendCommand };
  for (const Missing missing : {Missing::kLibrary, Missing::kSupportInfo, Missing::kSendCommand}) {
    SCOPED_TRACE(static_cast<int>(missing));
    test::AspiMachine machine;
    machine.aspi.AddHostAdapter();
    switch (missing) {
      case Missing::kLibrary:
        machine.aspi.RemoveLibrary();
        break;
      case Missing::kSupportInfo:
        machine.aspi.RemoveEntryPoint("GetASPI32SupportInfo");
        break;
      case Missing::kSendCommand:
        machine.aspi.RemoveEntryPoint("SendASPI32Command");
        break;
    }
    machine.Start();
    ASSERT_EQ(machine.dialogs.boxes.size(), 1U);
    EXPECT_EQ(machine.dialogs.boxes[0].text, "ASPI Initialize Fail!");
    ExpectUnbound(machine);
  }
}

TEST(AspiBinding, MessagesComeInJapaneseUnderCodePage932) {
  test::AspiMachine japanese(932);
  japanese.aspi.SetSupportInfo(0x0000);
  japanese.Start();
  ASSERT_EQ(japanese.dialogs.boxes.size(), 1U);
  EXPECT_EQ(test::ShiftJisToUtf8(japanese.dialogs.boxes[0].text), "ASPI初期化に失敗しました。");
  EXPECT_EQ(japanese.dialogs.boxes[0].caption, "Firmware Update Utility");

  test::AspiMachine no_version(932);
  no_version.system.version_query_fails = true;
  no_version.Start();
  ASSERT_EQ(no_version.dialogs.boxes.size(), 1U);
  EXPECT_EQ(test::ShiftJisToUtf8(no_version.dialogs.boxes[0].text),
            "オペレーティングシステムの情報を取得できません。");
}

TEST(AspiBinding, AFailedVersionQueryIsReportedAndNothingIsLoaded) {
  test::AspiMachine machine;
  machine.aspi.AddHostAdapter();
  machine.system.version_query_fails = true;
  machine.Start();
  ASSERT_EQ(machine.dialogs.boxes.size(), 1U);
  EXPECT_EQ(machine.dialogs.boxes[0].text, "Cannot get operationg system information.");
  EXPECT_EQ(machine.dialogs.boxes[0].caption, "Firmware Update Utility");
  EXPECT_EQ(machine.aspi.Snapshot().loads, 0U);
  ExpectUnbound(machine);
}

}  // namespace
}  // namespace fwu
