#include "settings/paths.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/module_name.h"

namespace {

// Answers ModuleFileName the way GetModuleFileNameA does for a given full name.
class FakeModuleFiles final : public platform::FileSystem {
 public:
  explicit FakeModuleFiles(std::string name) : name_(std::move(name)) {}
  bool Exists(const std::string&) override { return false; }
  platform::CreateFolderResult CreateFolder(const std::string&) override {
    return platform::CreateFolderResult::kFailed;
  }
  std::size_t ModuleFileName(char* buffer, std::size_t size) override {
    return testing_support::CopyModuleName(name_, buffer, size);
  }

 private:
  std::string name_;
};

TEST(Paths, ProgramFolder) {
  const std::string longFolder = "C:\\" + std::string(245, 'd');
  const struct {
    const char* what;
    std::string moduleName;
    std::string folder;
  } cases[] = {
      {"ordinary", "C:\\Reader\\Ostrel.exe", "C:\\Reader"},
      {"drive root", "C:\\Ostrel.exe", "C:"},
      {"no backslash", "Ostrel.exe", ""},
      {"GBK folder with trail byte 0x5C", "C:\\\x95\x5c\\Ostrel.exe", "C:\\\x95\x5c"},
      {"259 bytes fit", longFolder + "\\Ostrel.exe", longFolder},
      {"260 bytes are cut: no folder", longFolder + "x\\Ostrel.exe", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakeModuleFiles files(c.moduleName);
    EXPECT_EQ(ostrel::GetProgramFolder(files), c.folder);
  }
}

TEST(Paths, AppendBackslashAddsExactlyOne) {
  const struct {
    std::string path;
    std::string expected;
  } cases[] = {
      {"", "\\"},
      {"C:\\Reader", "C:\\Reader\\"},
      {"C:\\Reader\\", "C:\\Reader\\"},
      {"C:\\\x95\x5c", "C:\\\x95\x5c\\"},  // the trail byte is not a backslash
  };
  for (const auto& c : cases) {
    std::string path = c.path;
    ostrel::AppendBackslash(path);
    EXPECT_EQ(path, c.expected) << c.path;
    ostrel::AppendBackslash(path);
    EXPECT_EQ(path, c.expected) << "applied twice: " << c.path;
  }
}

TEST(Paths, FileExtension) {
  const struct {
    const char* path;
    const char* extension;
  } cases[] = {
      {"a\\b.txt", ".txt"},
      {"x.tar.gz", ".gz"},
      {"readme", ""},
      {"dir.d\\file", ""},
      {"dir.d/file", ""},
      {"C:.ini", ".ini"},
      {"setup.EXE", ".EXE"},
      {"name.", "."},
      {"", ""},
      {"\xd6\xd0.dll", ".dll"},
      {"\x95\x5c"
       "a.b\\c",
       ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ostrel::GetFileExtension(c.path), c.extension) << c.path;
  }
}

}  // namespace
