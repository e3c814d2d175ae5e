#include "sysconfig/registry_key.h"

#include <string>

#include <gtest/gtest.h>

#include "platform/sim/sim_registry.h"

namespace fwu {
namespace {

using platform::kHkeyCurrentUser;
using sim::SimRegistry;
using sim::StoredValue;

TEST(RegistryKeyTest, HoldsOneKeyAndKeepsItWhenAnotherFailsToOpen) {
  SimRegistry registry;
  registry.PutValue(kHkeyCurrentUser, "A", "n", StoredValue::Number(7));
  {
    RegistryKey key(registry);
    EXPECT_EQ(key.Close(), 0);  // nothing held
    ASSERT_EQ(key.Open(kHkeyCurrentUser, "A", platform::kKeyAllAccess), 0);
    EXPECT_EQ(key.Open(kHkeyCurrentUser, "Missing", platform::kKeyAllAccess),
              platform::kRegErrorFileNotFound);
    std::uint32_t number = 0;
    EXPECT_EQ(key.ReadNumber(number, "n"), 0);
    EXPECT_EQ(number, 7U);
    ASSERT_EQ(key.Create(kHkeyCurrentUser, "B\\C"), 0);
    EXPECT_EQ(registry.OpenHandleCount(), 1U);
  }
  EXPECT_EQ(registry.OpenHandleCount(), 0U);
}

// Texts are taken up to 127 characters with a 128-byte buffer; one that leaves no room for its
// terminating zero is not taken, stored zero or not.
TEST(RegistryKeyTest, ReadsTextsOnlyWhenTheyFitAndNumbersOnlyWithTheirType) {
  SimRegistry registry;
  const std::string longest(127, 'x');
  registry.PutValue(kHkeyCurrentUser, "A", "fits", StoredValue::Text(longest));
  registry.PutValue(kHkeyCurrentUser, "A", "too long", StoredValue::Text(longest + "y"));
  registry.PutValue(kHkeyCurrentUser, "A", "bare",
                    {platform::kRegSz, std::vector<std::uint8_t>(128, 'z')});
  registry.PutValue(kHkeyCurrentUser, "A", "bare short", {platform::kRegSz, {'o', 'k'}});
  registry.PutValue(kHkeyCurrentUser, "A", "binary", StoredValue::Binary({1, 0, 0, 0}));
  registry.PutValue(kHkeyCurrentUser, "A", "byte", StoredValue::Binary({9}));
  RegistryKey key(registry);
  ASSERT_EQ(key.Open(kHkeyCurrentUser, "A", platform::kKeyRead), 0);

  std::string text = "unchanged";
  EXPECT_EQ(key.ReadText(text, "fits", 128), 0);
  EXPECT_EQ(text, longest);
  text = "unchanged";
  EXPECT_EQ(key.ReadText(text, "too long", 128), platform::kRegErrorMoreData);
  EXPECT_EQ(key.ReadText(text, "bare", 128), platform::kRegErrorMoreData);
  EXPECT_EQ(text, "unchanged");
  EXPECT_EQ(key.ReadText(text, "bare short", 128), 0);
  EXPECT_EQ(text, "ok");
  EXPECT_EQ(key.ReadString(text, "binary", 128), platform::kRegErrorUnsupportedType);

  std::uint32_t number = 0xDEADBEEF;
  EXPECT_EQ(key.ReadNumber(number, "byte"), 0);
  EXPECT_EQ(number, 9U);  // the missing bytes read as zero, not as whatever was there
  EXPECT_EQ(key.ReadNumber(number, "binary"), 0);
  EXPECT_EQ(key.ReadDword(number, "binary"), platform::kRegErrorUnsupportedType);
  EXPECT_EQ(key.ReadNumber(number, "fits"), platform::kRegErrorMoreData);

  RegistryValue value;
  EXPECT_EQ(key.ReadValue(value, "too long"), 0);
  EXPECT_EQ(value.data.size(), 129U);
}

TEST(RegistryKeyTest, DeleteTreeRemovesNestedKeysOrStopsAtTheFirstThatStays) {
  SimRegistry registry;  // the NT family refuses to delete a key with subkeys
  registry.PutKey(kHkeyCurrentUser, "Store\\App\\Change\\  1");
  registry.PutKey(kHkeyCurrentUser, "Store\\App\\Change\\  2\\Deeper");
  registry.PutValue(kHkeyCurrentUser, "Store\\App", "Changed", StoredValue::Number(2));
  registry.PutKey(kHkeyCurrentUser, "Store\\Other\\A");
  registry.DenyWrites(kHkeyCurrentUser, "Store\\Other\\A\\Locked");
  {
    RegistryKey store(registry);
    ASSERT_EQ(store.Open(kHkeyCurrentUser, "Store", platform::kKeyAllAccess), 0);
    EXPECT_EQ(store.DeleteSubkey("App"), platform::kRegErrorAccessDenied);
    EXPECT_EQ(store.DeleteTree("App"), 0);
    EXPECT_FALSE(registry.HasKey(kHkeyCurrentUser, "Store\\App"));

    EXPECT_EQ(store.DeleteTree("Other"), platform::kRegErrorAccessDenied);
    EXPECT_TRUE(registry.HasKey(kHkeyCurrentUser, "Store\\Other\\A\\Locked"));
    EXPECT_EQ(store.DeleteTree("Missing"), platform::kRegErrorFileNotFound);
    // An empty name would be the held key itself.
    EXPECT_EQ(store.DeleteTree(""), platform::kRegErrorInvalidParameter);
    EXPECT_EQ(store.DeleteSubkey(""), platform::kRegErrorInvalidParameter);
    EXPECT_TRUE(registry.HasKey(kHkeyCurrentUser, "Store"));
  }
  EXPECT_EQ(registry.OpenHandleCount(), 0U);
}

}  // namespace
}  // namespace fwu
