// The registry seam on the real Reg*A calls, with the semantics the core relies on: keys handed
// over only when they open, plain deletion refused for keys with subkeys on the NT family while
// DeleteTree removes them, change records enumerated in numeric order, reads that do not fit,
// and the predefined roots reached from the core's 32-bit values.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/win32/win32_registry.h"
#include "platform/win32/windows_api.h"
#include "sysconfig/registry_key.h"

namespace fwu::win32 {
namespace {

class Win32RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = "Software\\FwuWin32Tests" + std::to_string(GetCurrentProcessId());
    RegistryKey key(registry_);
    ASSERT_EQ(key.Create(platform::kHkeyCurrentUser, base_), 0);
  }
  void TearDown() override {
    RegistryKey software(registry_);
    ASSERT_EQ(software.Open(platform::kHkeyCurrentUser, "Software", platform::kKeyAllAccess), 0);
    software.DeleteTree(base_.substr(base_.find('\\') + 1));
  }

  std::string Path(const std::string& below) const { return base_ + "\\" + below; }
  bool Exists(const std::string& below) {
    RegistryKey key(registry_);
    return key.Open(platform::kHkeyCurrentUser, Path(below), platform::kKeyRead) == 0;
  }

  Win32Registry registry_;
  std::string base_;
};

TEST_F(Win32RegistryTest, KeyIsHandedOverOnlyWhenTheNewOneOpens) {
  RegistryKey setup(registry_);
  ASSERT_EQ(setup.Create(platform::kHkeyCurrentUser, Path("First")), 0);
  ASSERT_EQ(setup.Create(platform::kHkeyCurrentUser, Path("Second")), 0);

  RegistryKey key(registry_);
  ASSERT_EQ(key.Open(platform::kHkeyCurrentUser, Path("First"), platform::kKeyAllAccess), 0);
  const platform::RegistryHandle first = key.Handle();

  EXPECT_EQ(key.Open(platform::kHkeyCurrentUser, Path("Missing"), platform::kKeyAllAccess),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key.Handle(), first);
  EXPECT_EQ(key.WriteNumber(7, "Kept"), 0);

  ASSERT_EQ(key.Open(platform::kHkeyCurrentUser, Path("Second"), platform::kKeyAllAccess), 0);
  EXPECT_NE(key.Handle(), first);
  // The first key was closed when the second took its place.
  std::uint32_t size = 0;
  EXPECT_EQ(registry_.QueryValue(first, "Kept", nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
  EXPECT_EQ(key.Close(), 0);
  EXPECT_EQ(key.Close(), 0);
}

TEST_F(Win32RegistryTest, DeleteTreeRemovesWhatPlainDeletionRefusesOnTheNtFamily) {
  RegistryKey setup(registry_);
  for (const char* below : {"Tree\\A\\X", "Tree\\A\\Y", "Tree\\B"}) {
    ASSERT_EQ(setup.Create(platform::kHkeyCurrentUser, Path(below)), 0);
  }
  ASSERT_EQ(setup.WriteText("leaf", "Value"), 0);

  RegistryKey parent(registry_);
  ASSERT_EQ(parent.Open(platform::kHkeyCurrentUser, base_, platform::kKeyAllAccess), 0);
  if ((GetVersion() & 0x80000000U) == 0) {
    EXPECT_EQ(parent.DeleteSubkey("Tree"), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(Exists("Tree\\A\\X"));
  }
  EXPECT_EQ(parent.DeleteTree("Tree"), 0);
  EXPECT_FALSE(Exists("Tree"));
  EXPECT_EQ(parent.DeleteTree("Tree"), ERROR_FILE_NOT_FOUND);
}

TEST_F(Win32RegistryTest, ChangeRecordsEnumerateInNumericOrder) {
  RegistryKey setup(registry_);
  // Created out of order, as restored and new records leave them.
  for (const char* name : {" 10", "  2", "  1", "  9", "100", "  3"}) {
    ASSERT_EQ(setup.Create(platform::kHkeyCurrentUser, Path(std::string("Change\\") + name)), 0);
  }
  RegistryKey change(registry_);
  ASSERT_EQ(change.Open(platform::kHkeyCurrentUser, Path("Change"), platform::kKeyRead), 0);
  std::vector<std::string> names;
  std::string name;
  for (std::uint32_t index = 0; change.EnumSubkey(index, name, 512) == 0; ++index) {
    names.push_back(name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"  1", "  2", "  3", "  9", " 10", "100"}));
  EXPECT_EQ(change.EnumSubkey(static_cast<std::uint32_t>(names.size()), name, 512),
            ERROR_NO_MORE_ITEMS);
}

TEST_F(Win32RegistryTest, ReadsThatDoNotFitFail) {
  RegistryKey key(registry_);
  ASSERT_EQ(key.Create(platform::kHkeyCurrentUser, Path("Parameters\\LongSubkeyName")), 0);
  ASSERT_EQ(key.Open(platform::kHkeyCurrentUser, Path("Parameters"), platform::kKeyAllAccess), 0);
  ASSERT_EQ(key.WriteText("DmaDetectionLevel = 0x1;", "DriverParameter"), 0);

  std::string text;
  EXPECT_EQ(key.ReadText(text, "DriverParameter", 128), 0);
  EXPECT_EQ(text, "DmaDetectionLevel = 0x1;");
  EXPECT_EQ(key.ReadText(text, "DriverParameter", 8), ERROR_MORE_DATA);

  // The text is stored with its terminating zero.
  std::uint32_t type = 0;
  std::uint32_t size = 0;
  ASSERT_EQ(registry_.QueryValue(key.Handle(), "DriverParameter", &type, nullptr, &size), 0);
  EXPECT_EQ(type, platform::kRegSz);
  EXPECT_EQ(size, sizeof "DmaDetectionLevel = 0x1;");

  std::string name;
  EXPECT_EQ(key.EnumSubkey(0, name, 8), ERROR_MORE_DATA);
  EXPECT_EQ(key.EnumSubkey(0, name, 256), 0);
  EXPECT_EQ(name, "LongSubkeyName");
}

TEST_F(Win32RegistryTest, NumbersAndBinaryFlagsRoundTrip) {
  RegistryKey key(registry_);
  ASSERT_EQ(key.Create(platform::kHkeyCurrentUser, Path("Values")), 0);
  ASSERT_EQ(key.WriteNumber(0xFFFFFFFFU, "UserMasterDeviceTimingModeAllowed"), 0);
  std::uint32_t number = 0;
  EXPECT_EQ(key.ReadNumber(number, "UserMasterDeviceTimingModeAllowed"), 0);
  EXPECT_EQ(number, 0xFFFFFFFFU);

  const std::uint8_t flag = 0x01;
  ASSERT_EQ(registry_.SetValue(key.Handle(), "IDEDMADRIVE0", platform::kRegBinary, &flag, 1), 0);
  EXPECT_EQ(key.ReadNumber(number, "IDEDMADRIVE0"), 0);
  EXPECT_EQ(number & 0xFFU, 1U);
  EXPECT_EQ(key.DeleteValue("IDEDMADRIVE0"), 0);
  EXPECT_EQ(key.ReadNumber(number, "IDEDMADRIVE0"), ERROR_FILE_NOT_FOUND);
}

TEST_F(Win32RegistryTest, PredefinedRootsAreTheSystemsOwn) {
  // 64-bit Windows knows its roots by sign-extended values; the core's must reach them.
  platform::RegistryHandle key = 0;
  for (const platform::RegistryHandle root :
       {platform::kHkeyCurrentUser, platform::kHkeyLocalMachine}) {
    ASSERT_EQ(registry_.OpenKey(root, "Software", platform::kKeyRead, key), 0) << root;
    EXPECT_EQ(registry_.CloseKey(key), 0);
    EXPECT_EQ(registry_.CloseKey(root), 0);
  }
  // The running device list of Windows 9x, which Wine keeps in every mode.
  ASSERT_EQ(
      registry_.OpenKey(platform::kHkeyDynData, "Config Manager\\Enum", platform::kKeyRead, key),
      0);
  EXPECT_EQ(registry_.CloseKey(key), 0);
}

}  // namespace
}  // namespace fwu::win32
