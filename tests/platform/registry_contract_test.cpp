// The registry behaviour Ostrel and Pellwick rely on, for both implementations: natively the
// in-memory registry, under Wine the real HKEY_CURRENT_USER. Each test works below a key of
// its own and removes it.
#include <gtest/gtest.h>

#include "platform/registry.h"
#include "support/unique_name.h"

namespace {

using platform::QueryStatus;
using platform::RegistryValue;

class RegistryContract : public ::testing::Test {
 protected:
  ~RegistryContract() override { registry.DeleteTree(root); }

  platform::Registry& registry = platform::CurrentUserRegistry();
  const std::string root = testing_support::UniqueName("Software\\TavrelTests\\key");
};

TEST_F(RegistryContract, MissingKeyDoesNotOpen) {
  EXPECT_EQ(registry.OpenKey(root), nullptr);
  EXPECT_EQ(registry.OpenKey(root + "\\Child"), nullptr);
}

TEST_F(RegistryContract, CreatedKeyHoldsValues) {
  auto key = registry.CreateKey(root + "\\Morvane\\Reader");
  ASSERT_NE(key, nullptr);
  ASSERT_TRUE(key->SetValue("Current Version", platform::StringValue("1.0.0.1")));
  ASSERT_TRUE(key->SetValue("SelectedWebsite", platform::DwordValue(0x01020304)));

  RegistryValue value;
  ASSERT_EQ(key->QueryValue("Current Version", 260, value), QueryStatus::kOk);
  EXPECT_EQ(value.type, platform::kRegSz);
  EXPECT_EQ(value.data, std::string("1.0.0.1", 8));  // stored with its zero
  ASSERT_EQ(key->QueryValue("SelectedWebsite", 4, value), QueryStatus::kOk);
  EXPECT_EQ(value.type, platform::kRegDword);
  EXPECT_EQ(value.data, std::string("\x04\x03\x02\x01", 4));
  EXPECT_EQ(key->QueryValue("Missing", 260, value), QueryStatus::kNotFound);
}

TEST_F(RegistryContract, NamesIgnoreLetterCaseAndATrailingBackslash) {
  ASSERT_NE(registry.CreateKey(root + "\\Reader"), nullptr);
  registry.CreateKey(root + "\\Reader")->SetValue("Current Version", platform::StringValue("2"));
  for (const std::string& name : {root + "\\READER", root + "\\reader\\"}) {
    SCOPED_TRACE(name);
    auto key = registry.OpenKey(name);
    ASSERT_NE(key, nullptr);
    RegistryValue value;
    ASSERT_EQ(key->QueryValue("CURRENT version", 260, value), QueryStatus::kOk);
    EXPECT_EQ(value.data, std::string("2", 2));
  }
}

TEST_F(RegistryContract, ValueLargerThanTheBufferIsNotRead) {
  auto key = registry.CreateKey(root);
  ASSERT_NE(key, nullptr);
  key->SetValue("Exact", platform::StringValue(std::string(259, 'x')));
  key->SetValue("Long", platform::StringValue(std::string(260, 'x')));
  RegistryValue value;
  EXPECT_EQ(key->QueryValue("Exact", 260, value), QueryStatus::kOk);
  EXPECT_EQ(value.data.size(), 260u);
  EXPECT_EQ(key->QueryValue("Long", 260, value), QueryStatus::kMoreData);
}

TEST_F(RegistryContract, DefaultValueHasTheEmptyName) {
  auto key = registry.CreateKey(root);
  ASSERT_NE(key, nullptr);
  RegistryValue value;
  EXPECT_EQ(key->QueryValue("", 260, value), QueryStatus::kNotFound);
  ASSERT_TRUE(key->SetValue("", platform::StringValue("C:\\Reader")));
  ASSERT_EQ(key->QueryValue("", 260, value), QueryStatus::kOk);
  EXPECT_EQ(value.data, std::string("C:\\Reader", 10));
}

TEST_F(RegistryContract, DeleteValueAndSubkeyCount) {
  auto key = registry.CreateKey(root);
  ASSERT_NE(key, nullptr);
  EXPECT_FALSE(key->HasSubKeys());
  ASSERT_TRUE(key->SetValue("ThreadingModel", platform::StringValue("Apartment")));
  EXPECT_TRUE(key->DeleteValue("THREADINGMODEL"));
  EXPECT_FALSE(key->DeleteValue("ThreadingModel"));
  RegistryValue value;
  EXPECT_EQ(key->QueryValue("ThreadingModel", 260, value), QueryStatus::kNotFound);
  ASSERT_NE(registry.CreateKey(root + "\\Child"), nullptr);
  EXPECT_TRUE(key->HasSubKeys());
}

TEST_F(RegistryContract, DeleteTreeRemovesSubkeys) {
  ASSERT_NE(registry.CreateKey(root + "\\a\\b"), nullptr);
  EXPECT_TRUE(registry.DeleteTree(root));
  EXPECT_EQ(registry.OpenKey(root + "\\a"), nullptr);
  EXPECT_EQ(registry.OpenKey(root), nullptr);
}

}  // namespace
