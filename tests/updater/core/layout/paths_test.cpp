#include "layout/paths.h"

#include <gtest/gtest.h>

namespace {

TEST(Paths, ProgramFolder) {
  const std::string longFolder = "C:\\" + std::string(245, 'd');
  const struct {
    const char* what;
    std::string programFile;
    std::optional<std::string> folder;
  } cases[] = {
      {"ordinary", "C:\\Reader\\Ostrel.exe", "C:\\Reader\\"},
      {"drive root", "C:\\Ostrel.exe", "C:\\"},
      {"no backslash", "Ostrel.exe", std::nullopt},
      {"unknown", "", std::nullopt},
      {"GBK folder with trail byte 0x5C", "C:\\\x95\x5c\\Ostrel.exe", "C:\\\x95\x5c\\"},
      {"259 bytes fit", longFolder + "\\Ostrel.exe", longFolder + "\\"},
      {"260 bytes: no folder", longFolder + "x\\Ostrel.exe", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(updater::ProgramFolder(c.programFile), c.folder);
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
    updater::AppendBackslash(path);
    EXPECT_EQ(path, c.expected) << c.path;
    updater::AppendBackslash(path);
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
    EXPECT_EQ(updater::GetFileExtension(c.path), c.extension) << c.path;
  }
}

}  // namespace
