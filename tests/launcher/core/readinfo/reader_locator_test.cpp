// Finding the reader from the registry: the path rules over a fake file system, then the same
// rules against the running system (in memory and POSIX natively, the real registry and file
// system under Wine), each test below a key and in a folder of its own.
#include "readinfo/reader_locator.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/memory_registry.h"
#include "support/inert_file_system.h"
#include "support/redirected_registry.h"
#include "support/temp_folder.h"
#include "support/unique_name.h"

namespace {

using launcher::LocateReader;
using platform::RegistryValue;

// Every path exists except the ones named missing; records what was asked.
class FakeFiles final : public testing_support::InertFileSystem {
 public:
  explicit FakeFiles(std::set<std::string> missing) : missing_(std::move(missing)) {}
  bool Exists(const std::string& path) override {
    asked.push_back(path);
    return missing_.count(path) == 0;
  }

  std::vector<std::string> asked;

 private:
  std::set<std::string> missing_;
};

TEST(LocateReader, PathRules) {
  const std::string folder248 = "C:\\" + std::string(245, 'f');
  const struct {
    const char* what;
    std::optional<RegistryValue> value;  // nothing: no key at all
    std::set<std::string> missing;
    std::optional<std::string> expected;
  } cases[] = {
      {"plain folder", platform::StringValue("C:\\Reader"), {}, "C:\\Reader\\Tavrel.exe"},
      {"one trailing backslash is cut",
       platform::StringValue("C:\\Reader\\"),
       {},
       "C:\\Reader\\Tavrel.exe"},
      {"of two trailing backslashes one stays",
       platform::StringValue("C:\\Reader\\\\"),
       {},
       "C:\\Reader\\\\Tavrel.exe"},
      {"a GBK trail byte 0x5C is not cut",
       platform::StringValue("C:\\\x81\x5c"),
       {},
       "C:\\\x81\x5c\\Tavrel.exe"},
      {"no key", std::nullopt, {}, std::nullopt},
      {"key without default value", RegistryValue{}, {}, std::nullopt},
      {"empty value", platform::StringValue(""), {}, std::nullopt},
      {"lone backslash", platform::StringValue("\\"), {}, std::nullopt},
      {"folder missing", platform::StringValue("C:\\Reader"), {"C:\\Reader"}, std::nullopt},
      {"folder without the executable",
       platform::StringValue("C:\\Reader"),
       {"C:\\Reader\\Tavrel.exe"},
       std::nullopt},
      {"type not examined, nothing expanded",
       RegistryValue{platform::kRegExpandSz, std::string("%ProgramFiles%\\R\0", 17)},
       {},
       "%ProgramFiles%\\R\\Tavrel.exe"},
      {"stored without a terminator",
       RegistryValue{platform::kRegSz, "C:\\R"},
       {},
       "C:\\R\\Tavrel.exe"},
      {"text ends at the first zero",
       RegistryValue{platform::kRegSz, std::string("C:\\R\0x", 6)},
       {},
       "C:\\R\\Tavrel.exe"},
      {"fills 260 bytes without a terminator",
       RegistryValue{platform::kRegSz, "C:\\" + std::string(257, 'f')},
       {},
       std::nullopt},
      {"larger than 260 bytes",
       platform::StringValue("C:\\" + std::string(300, 'f')),
       {},
       std::nullopt},
      {"executable path of 259 bytes",
       platform::StringValue(folder248),
       {},
       folder248 + "\\Tavrel.exe"},
      {"executable path of 260 bytes", platform::StringValue(folder248 + "g"), {}, std::nullopt},
      {"executable path of 260 bytes after the cut",
       platform::StringValue(folder248 + "g\\"),
       {},
       std::nullopt},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.what);
    platform::MemoryRegistry registry;
    if (row.value) {
      auto key = registry.CreateKey("Software\\Morvane\\Reader");
      if (row.value->type != 0) key->SetValue("", *row.value);
      key->SetValue("Current Version", platform::StringValue("C:\\Other"));
    }
    FakeFiles files(row.missing);
    EXPECT_EQ(LocateReader(registry, files), row.expected);
    for (const std::string& path : files.asked) EXPECT_LT(path.size(), 260u) << path;
  }
}

class LocateReaderOnTheSystem : public ::testing::Test {
 protected:
  void SetFolder(const std::string& value) {
    registry.CreateKey(launcher::kReaderKey)->SetValue("", platform::StringValue(value));
  }
  std::string MakeFolder(const std::string& name) {
    const std::string path = temp.Child(name);
    EXPECT_EQ(files.CreateFolder(path), platform::CreateFolderResult::kCreated) << path;
    return path;
  }

  testing_support::TempFolder temp;
  testing_support::RedirectedRegistry registry{
      platform::CurrentUserRegistry(), testing_support::UniqueName("Software\\TavrelTests\\r")};
  platform::FileSystem& files = platform::SystemFileSystem();
};

TEST_F(LocateReaderOnTheSystem, FindsTheExecutable) {
  const std::string folder = MakeFolder("Reader");
  testing_support::WriteFileBytes(folder + "\\Tavrel.exe", "MZ");
  for (const std::string& value : {folder, folder + "\\"}) {
    SCOPED_TRACE(value);
    SetFolder(value);
    EXPECT_EQ(LocateReader(registry, files), folder + "\\Tavrel.exe");
  }
}

TEST_F(LocateReaderOnTheSystem, ADirectoryOfTheExecutablesNamePasses) {
  // A folder whose name ends in a GBK character with the trail byte 0x5C.
  const std::string folder = MakeFolder("\xd4\xc4\x81\x5c");
  MakeFolder("\xd4\xc4\x81\x5c\\Tavrel.exe");
  SetFolder(folder);
  EXPECT_EQ(LocateReader(registry, files), folder + "\\Tavrel.exe");
}

TEST_F(LocateReaderOnTheSystem, NotFound) {
  const std::string empty = MakeFolder("Empty");
  for (const std::string& value : {empty, temp.Child("Missing"), std::string()}) {
    SCOPED_TRACE(value);
    SetFolder(value);
    EXPECT_EQ(LocateReader(registry, files), std::nullopt);
  }
  registry.DeleteTree(launcher::kReaderKey);
  EXPECT_EQ(LocateReader(registry, files), std::nullopt);
}

}  // namespace
