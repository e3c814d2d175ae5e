#include "platform/sim/sim_registry.h"

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace fwu {
namespace {

using platform::kHkeyCurrentUser;
using platform::kHkeyDynData;
using platform::kHkeyLocalMachine;
using platform::RegistryHandle;
using sim::RegistryFamily;
using sim::SimRegistry;
using sim::StoredValue;

std::vector<std::string> EnumerateAll(SimRegistry& registry, RegistryHandle key) {
  std::vector<std::string> names;
  std::array<char, 256> name{};
  for (std::uint32_t index = 0;; ++index) {
    std::uint32_t size = name.size();
    if (registry.EnumKey(key, index, name.data(), &size) != platform::kErrorSuccess) {
      return names;
    }
    names.emplace_back(name.data(), size);
  }
}

TEST(SimRegistryTest, NamesIgnoreCaseKeepTheirSpellingAndEnumerateSorted) {
  SimRegistry registry;
  for (const char* name : {"b", "A", "  2", "1000", " 10", "999", "  1", "_x"}) {
    registry.PutKey(kHkeyCurrentUser, std::string("Change\\") + name);
  }
  RegistryHandle change = 0;
  ASSERT_EQ(registry.OpenKey(kHkeyCurrentUser, "CHANGE", platform::kKeyRead, change), 0);
  // Blank-padded record numbers come out in numeric order; letters compare as upper case.
  EXPECT_EQ(EnumerateAll(registry, change),
            (std::vector<std::string>{"  1", "  2", " 10", "1000", "999", "A", "b", "_x"}));
  std::array<char, 4> small{};
  std::uint32_t size = small.size();
  EXPECT_EQ(registry.EnumKey(change, 3, small.data(), &size),
            platform::kRegErrorMoreData);  // "1000"
  EXPECT_EQ(registry.CloseKey(change), 0);

  RegistryHandle key = 0;
  ASSERT_EQ(registry.CreateKey(kHkeyCurrentUser, "change\\B\\New", platform::kKeyAllAccess, key),
            0);
  EXPECT_EQ(registry.Subkeys(kHkeyCurrentUser, "Change\\b"), std::vector<std::string>{"New"});
  EXPECT_EQ(registry.CloseKey(key), 0);
  EXPECT_EQ(registry.OpenKey(kHkeyCurrentUser, "\\Change", platform::kKeyRead, key),
            platform::kRegErrorBadPathname);
  EXPECT_EQ(registry.OpenHandleCount(), 0U);
}

TEST(SimRegistryTest, ValuesAreReadLikeRegQueryValueEx) {
  SimRegistry registry;
  registry.PutValue(kHkeyLocalMachine, "K", "Text", StoredValue::Text("abcdef"));
  RegistryHandle key = 0;
  ASSERT_EQ(registry.OpenKey(kHkeyLocalMachine, "k", platform::kKeyRead, key), 0);
  std::uint32_t type = 0;
  std::uint32_t size = 0;
  EXPECT_EQ(registry.QueryValue(key, "TEXT", &type, nullptr, &size), 0);
  EXPECT_EQ(type, platform::kRegSz);
  EXPECT_EQ(size, 7U);
  std::array<std::uint8_t, 8> buffer{};
  size = 4;
  EXPECT_EQ(registry.QueryValue(key, "Text", &type, buffer.data(), &size),
            platform::kRegErrorMoreData);
  EXPECT_EQ(size, 7U);  // what it would need
  size = buffer.size();
  EXPECT_EQ(registry.QueryValue(key, "Text", &type, buffer.data(), &size), 0);
  EXPECT_EQ(size, 7U);
  EXPECT_EQ(registry.QueryValue(key, "Missing", &type, buffer.data(), &size),
            platform::kRegErrorFileNotFound);
  // A handle opened for reading cannot write.
  EXPECT_EQ(registry.SetValue(key, "Text", platform::kRegSz, buffer.data(), 1),
            platform::kRegErrorAccessDenied);
  EXPECT_EQ(registry.OpenKey(kHkeyLocalMachine, "Missing", platform::kKeyRead, key),
            platform::kRegErrorFileNotFound);
  EXPECT_EQ(registry.CloseKey(key), 0);
  EXPECT_EQ(registry.CloseKey(key), platform::kRegErrorInvalidHandle);
}

TEST(SimRegistryTest, KeyDeletionFollowsThePlatformFamily) {
  for (const RegistryFamily family : {RegistryFamily::kNt, RegistryFamily::kWindows9x}) {
    SimRegistry registry(family);
    registry.PutKey(kHkeyCurrentUser, "Parent\\Child\\Grandchild");
    RegistryHandle child = 0;
    ASSERT_EQ(registry.OpenKey(kHkeyCurrentUser, "Parent\\Child", platform::kKeyRead, child), 0);
    const std::int32_t status = registry.DeleteKey(kHkeyCurrentUser, "Parent");
    if (family == RegistryFamily::kNt) {
      EXPECT_EQ(status, platform::kRegErrorAccessDenied);
      EXPECT_TRUE(registry.HasKey(kHkeyCurrentUser, "Parent\\Child\\Grandchild"));
      RegistryHandle dyn = 0;
      EXPECT_EQ(registry.OpenKey(kHkeyDynData, "", platform::kKeyRead, dyn),
                platform::kRegErrorInvalidHandle);
    } else {
      EXPECT_EQ(status, 0);
      EXPECT_FALSE(registry.HasKey(kHkeyCurrentUser, "Parent"));
      // A handle into the deleted tree no longer reaches anything.
      std::uint32_t size = 0;
      EXPECT_EQ(registry.QueryValue(child, "", nullptr, nullptr, &size),
                platform::kRegErrorKeyDeleted);
    }
    EXPECT_EQ(registry.CloseKey(child), 0);
  }
}

TEST(SimRegistryTest, LimitedUserAndDeniedKeysCannotBeWritten) {
  SimRegistry registry;
  registry.PutKey(kHkeyLocalMachine, "Software\\Vendor");
  registry.PutKey(kHkeyCurrentUser, "Software");
  registry.DenyWrites(kHkeyCurrentUser, "Software\\Locked");
  registry.SetLimitedUser(true);
  RegistryHandle key = 0;
  EXPECT_EQ(registry.OpenKey(kHkeyLocalMachine, "Software\\Vendor", platform::kKeyAllAccess, key),
            platform::kRegErrorAccessDenied);
  EXPECT_EQ(registry.CreateKey(kHkeyLocalMachine, "Software\\New", platform::kKeyAllAccess, key),
            platform::kRegErrorAccessDenied);
  EXPECT_EQ(registry.DeleteKey(kHkeyLocalMachine, "Software\\Vendor"),
            platform::kRegErrorAccessDenied);
  EXPECT_EQ(
      registry.CreateKey(kHkeyCurrentUser, "Software\\Locked\\Below", platform::kKeyAllAccess, key),
      platform::kRegErrorAccessDenied);
  ASSERT_EQ(registry.OpenKey(kHkeyLocalMachine, "Software\\Vendor", platform::kKeyRead, key), 0);
  EXPECT_EQ(registry.CloseKey(key), 0);
  ASSERT_EQ(registry.CreateKey(kHkeyCurrentUser, "Software\\Mine", platform::kKeyAllAccess, key),
            0);
  EXPECT_EQ(registry.CloseKey(key), 0);
  EXPECT_EQ(registry.OpenHandleCount(), 0U);
}

TEST(SimRegistryTest, InjectedWriteFailuresChangeNothing) {
  SimRegistry registry;
  RegistryHandle key = 0;
  ASSERT_EQ(registry.CreateKey(kHkeyCurrentUser, "A", platform::kKeyAllAccess, key), 0);
  const std::uint8_t byte = 1;
  registry.FailWrite(2);
  EXPECT_EQ(registry.SetValue(key, "one", platform::kRegBinary, &byte, 1), 0);
  EXPECT_EQ(registry.SetValue(key, "two", platform::kRegBinary, &byte, 1),
            platform::kRegErrorIoFailed);
  EXPECT_EQ(registry.SetValue(key, "three", platform::kRegBinary, &byte, 1), 0);
  EXPECT_FALSE(registry.Value(kHkeyCurrentUser, "A", "two"));

  registry.StopWritesAfter(1);
  EXPECT_EQ(registry.DeleteValue(key, "one"), 0);
  EXPECT_EQ(registry.DeleteValue(key, "three"), platform::kRegErrorIoFailed);
  RegistryHandle other = 0;
  EXPECT_EQ(registry.CreateKey(kHkeyCurrentUser, "B", platform::kKeyAllAccess, other),
            platform::kRegErrorIoFailed);
  EXPECT_EQ(registry.CreateKey(kHkeyCurrentUser, "A", platform::kKeyAllAccess, other),
            0);  // no write
  EXPECT_TRUE(registry.Value(kHkeyCurrentUser, "A", "three"));
  EXPECT_EQ(registry.WriteCount(), 4U);
  EXPECT_EQ(registry.CloseKey(other), 0);
  EXPECT_EQ(registry.CloseKey(key), 0);
}

TEST(SimRegistryTest, JsonFileKeepsKeysValuesAndTypes) {
  SimRegistry registry(RegistryFamily::kWindows9x);
  registry.PutValue(kHkeyLocalMachine, "System\\Empty\\Deeper", "Text",
                    StoredValue::Text("DmaDetectionLevel = 0x0;"));
  registry.PutKey(kHkeyLocalMachine, "System\\Empty\\Nothing");
  registry.PutValue(kHkeyCurrentUser, "Software\\Quentar_ODD\\App\\Change\\  1", "Value",
                    StoredValue::Number(7));
  registry.PutValue(kHkeyDynData, "Config Manager\\Enum\\C1", "HardWareKey",
                    StoredValue::Text("SCSI\\X"));
  registry.PutValue(kHkeyLocalMachine, "Enum\\SCSI\\X", "Flag", StoredValue::Binary({0x01, 0xFF}));
  registry.PutValue(kHkeyLocalMachine, "Enum\\SCSI\\X", "Odd", {9, {0x00, 0x80}});
  registry.PutValue(kHkeyLocalMachine, "Enum\\SCSI\\X", "Unterminated",
                    {platform::kRegSz, {'a', 'b'}});
  registry.PutValue(kHkeyLocalMachine, "Enum\\SCSI\\X", "Short", {platform::kRegDword, {0x01}});

  const auto file = std::filesystem::temp_directory_path() / "fwu_sim_registry_test.json";
  ASSERT_TRUE(registry.SaveFile(file));
  SimRegistry loaded(RegistryFamily::kWindows9x);
  ASSERT_TRUE(loaded.LoadFile(file));
  std::filesystem::remove(file);
  EXPECT_EQ(loaded.ToJson(), registry.ToJson());
  EXPECT_TRUE(loaded.HasKey(kHkeyLocalMachine, "System\\Empty\\Nothing"));
  EXPECT_EQ(loaded.Value(kHkeyLocalMachine, "Enum\\SCSI\\X", "Odd"),
            (StoredValue{9, {0x00, 0x80}}));
  EXPECT_EQ(loaded.Value(kHkeyLocalMachine, "Enum\\SCSI\\X", "Unterminated"),
            (StoredValue{platform::kRegSz, {'a', 'b'}}));
  EXPECT_EQ(loaded.Value(kHkeyLocalMachine, "Enum\\SCSI\\X", "Short"),
            (StoredValue{platform::kRegDword, {0x01}}));
  // Readable: texts and numbers are shown as such.
  EXPECT_NE(registry.ToJson().find("\"text\": \"DmaDetectionLevel = 0x0;\""), std::string::npos);
  EXPECT_NE(registry.ToJson().find("\"hex\": \"01 FF\""), std::string::npos);

  EXPECT_FALSE(loaded.LoadJson("{\"HKEY_NOWHERE\\\\X\": {}}"));
  EXPECT_FALSE(loaded.LoadJson(
      "{\"HKEY_LOCAL_MACHINE\\\\X\": {\"v\": {\"type\": \"REG_SZ\", \"hex\": \"0\"}}}"));
  EXPECT_FALSE(loaded.LoadJson("not json"));
  EXPECT_EQ(loaded.ToJson(), registry.ToJson());
}

TEST(SimRegistryTest, EachUserHasAHiveOfHisOwn) {
  SimRegistry registry;
  registry.PutKey(kHkeyCurrentUser, "Software\\Quentar_ODD");
  registry.SwitchUser("Other");
  EXPECT_FALSE(registry.HasKey(kHkeyCurrentUser, "Software\\Quentar_ODD"));
  registry.SwitchUser("User");
  EXPECT_TRUE(registry.HasKey(kHkeyCurrentUser, "Software\\Quentar_ODD"));
}

}  // namespace
}  // namespace fwu
