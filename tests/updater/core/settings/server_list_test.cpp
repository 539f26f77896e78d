#include "settings/server_list.h"

#include <gtest/gtest.h>

#include "platform/memory_registry.h"

namespace {

using platform::StringValue;

class ServerList : public ::testing::Test {
 protected:
  void Set(const std::string& name, const platform::RegistryValue& value) {
    registry.CreateKey("Software\\Morvane\\Reader")->SetValue(name, value);
  }
  platform::MemoryRegistry registry;
};

TEST(ServerEntryValueName, SkipsNumberOne) {
  EXPECT_EQ(updater::ServerEntryValueName(0), "Update Website");
  EXPECT_EQ(updater::ServerEntryValueName(1), "Update Website2");
  EXPECT_EQ(updater::ServerEntryValueName(9), "Update Website10");
  EXPECT_EQ(updater::ServerEntryValueName(2147483647), "Update Website2147483648");
}

TEST_F(ServerList, Lists) {
  const struct {
    const char* what;
    std::vector<std::pair<std::string, std::string>> values;
    std::vector<std::string> expected;
  } cases[] = {
      {"no key", {}, {}},
      {"gap ends the list",
       {{"Update Website", "http://a"},
        {"Update Website2", "http://b"},
        {"Update Website4", "http://d"}},
       {"http://a", "http://b"}},
      {"only the second", {{"Update Website2", "http://b"}}, {}},
      {"empty first ends it", {{"Update Website", ""}, {"Update Website2", "http://b"}}, {}},
      {"no Update Website1",
       {{"Update Website", "http://a"}, {"Update Website1", "http://one"}},
       {"http://a"}},
      {"ten entries",
       {{"Update Website", "0"},
        {"Update Website2", "1"},
        {"Update Website3", "2"},
        {"Update Website4", "3"},
        {"Update Website5", "4"},
        {"Update Website6", "5"},
        {"Update Website7", "6"},
        {"Update Website8", "7"},
        {"Update Website9", "8"},
        {"Update Website10", "9"}},
       {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    registry.DeleteTree("Software\\Morvane");
    for (const auto& [name, text] : c.values) Set(name, StringValue(text));
    EXPECT_EQ(updater::ReadServerList(registry), c.expected);
  }
}

TEST_F(ServerList, EntryTooLongReadsAsMissing) {
  Set("Update Website", StringValue(std::string(300, 'h')));
  EXPECT_EQ(updater::ReadServerEntry(registry, 0), "");
  Set("Update Website", StringValue(std::string(259, 'h')));
  EXPECT_EQ(updater::ReadServerEntry(registry, 0), std::string(259, 'h'));
}

TEST_F(ServerList, SelectionAndUrl) {
  EXPECT_EQ(updater::ReadSelectedServer(registry), 0);
  EXPECT_EQ(updater::SelectedServerUrl(registry, "/update.htm"), "/update.htm");
  Set("Update Website", StringValue("http://edu.example"));
  Set("Update Website2", StringValue("http://pub.example"));
  EXPECT_EQ(updater::SelectedServerUrl(registry, "/update.htm"), "http://edu.example/update.htm");
  updater::WriteSelectedServer(registry, 1);
  EXPECT_EQ(updater::ReadSelectedServer(registry), 1);
  EXPECT_EQ(updater::SelectedServerUrl(registry, "/update.htm"), "http://pub.example/update.htm");
  updater::WriteSelectedServer(registry, 5);  // not clamped here: the URL is the path alone
  EXPECT_EQ(updater::SelectedServerUrl(registry, "/update.htm"), "/update.htm");
  updater::WriteSelectedServer(registry, -1);
  EXPECT_EQ(updater::ReadSelectedServer(registry), -1);
  EXPECT_EQ(updater::SelectedServerUrl(registry, "/a"), "/a");
}

}  // namespace
