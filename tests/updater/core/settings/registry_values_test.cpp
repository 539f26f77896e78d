#include "settings/registry_values.h"

#include <gtest/gtest.h>

#include "platform/memory_registry.h"
#include "support/unique_name.h"

using namespace std::string_literals;

namespace {

using platform::RegistryValue;

// Runs against the running system's registry: in memory natively, the real one under Wine.
class RegistryValues : public ::testing::Test {
 protected:
  ~RegistryValues() override { registry.DeleteTree(root); }

  void Set(const std::string& name, const RegistryValue& value) {
    registry.CreateKey(root)->SetValue(name, value);
  }

  platform::Registry& registry = platform::CurrentUserRegistry();
  const std::string root = testing_support::UniqueName("Software\\TavrelTests\\values");
};

TEST_F(RegistryValues, StringReads) {
  const struct {
    const char* what;
    RegistryValue stored;  // type 0: no such value
    std::string expected;
  } cases[] = {
      {"plain", platform::StringValue("1.0.0.1"), "1.0.0.1"},
      {"missing gives the default", RegistryValue{}, "dflt"},
      {"empty gives the default", platform::StringValue(""), "dflt"},
      {"259 bytes fit", platform::StringValue(std::string(259, 'v')), std::string(259, 'v')},
      {"260 bytes do not fit", platform::StringValue(std::string(260, 'v')), "dflt"},
      {"no terminating zero, 260 bytes", RegistryValue{platform::kRegSz, std::string(260, 'v')},
       "dflt"},
      {"no terminating zero, short", RegistryValue{platform::kRegSz, "abc"}, "abc"},
      {"text up to the first zero", RegistryValue{platform::kRegSz, std::string("ab\0cd", 6)},
       "ab"},
      {"type is not examined", platform::DwordValue(0x00003231), "12"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    registry.DeleteTree(root);
    registry.CreateKey(root);
    if (c.stored.type != 0) Set("Value", c.stored);
    std::string out = "sentinel";
    EXPECT_TRUE(updater::ReadRegistryString(registry, root, "Value", out, "dflt"));
    EXPECT_EQ(out, c.expected);
  }
}

TEST_F(RegistryValues, StringReadOfMissingKeyLeavesOutputAlone) {
  std::string out = "sentinel";
  EXPECT_FALSE(updater::ReadRegistryString(registry, root, "Value", out, "dflt"));
  EXPECT_EQ(out, "sentinel");
}

TEST_F(RegistryValues, DwordReads) {
  const struct {
    const char* what;
    RegistryValue stored;
    uint32_t expected;
  } cases[] = {
      {"number", platform::DwordValue(3), 3},
      {"missing gives the default", RegistryValue{}, 7},
      {"short value gives the default", RegistryValue{platform::kRegBinary, "\x01\x02"}, 7},
      {"long value gives the default", platform::StringValue("12345"), 7},
      {"four bytes of any type", RegistryValue{platform::kRegBinary, "\x05\0\0\0"s}, 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    registry.DeleteTree(root);
    registry.CreateKey(root);
    if (c.stored.type != 0) Set("Value", c.stored);
    uint32_t out = 0xdeadbeef;
    EXPECT_TRUE(updater::ReadRegistryDword(registry, root, "Value", out, 7));
    EXPECT_EQ(out, c.expected);
  }
}

TEST_F(RegistryValues, DwordReadOfMissingKeyGivesTheDefault) {
  uint32_t out = 0xdeadbeef;
  EXPECT_FALSE(updater::ReadRegistryDword(registry, root, "Value", out, 7));
  EXPECT_EQ(out, 7u);
}

TEST_F(RegistryValues, DwordWriteCreatesTheKey) {
  updater::WriteRegistryDword(registry, root + "\\Reader", "SelectedWebsite", 2);
  uint32_t out = 0;
  EXPECT_TRUE(updater::ReadRegistryDword(registry, root + "\\Reader", "SelectedWebsite", out, 9));
  EXPECT_EQ(out, 2u);
  updater::WriteRegistryDword(registry, root + "\\Reader", "SelectedWebsite", 0xFFFFFFFF);
  EXPECT_TRUE(updater::ReadRegistryDword(registry, root + "\\Reader", "SelectedWebsite", out, 9));
  EXPECT_EQ(out, 0xFFFFFFFFu);
}

TEST(InstalledVersion, ReadFromTheReaderKey) {
  platform::MemoryRegistry registry;
  EXPECT_EQ(updater::ReadInstalledVersion(registry), "");
  registry.CreateKey("Software\\Morvane\\Reader");
  EXPECT_EQ(updater::ReadInstalledVersion(registry), "");
  registry.CreateKey("Software\\Morvane\\Reader")
      ->SetValue("Current Version", platform::StringValue("1.0.0.1"));
  EXPECT_EQ(updater::ReadInstalledVersion(registry), "1.0.0.1");
}

}  // namespace
