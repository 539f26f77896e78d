// The log: lines appended with their time and CRLF, one event a line, and the rotation at
// 256 KiB into ostrel.log.1; over the real file system in a folder of its own.
#include "log/run_log.h"

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace {

using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

class RunLogFile : public ::testing::Test {
 protected:
  std::string Log() { return ReadFileBytes(folder.Child("update\\ostrel.log")); }
  std::string Older() { return ReadFileBytes(folder.Child("update\\ostrel.log.1")); }

  testing_support::TempFolder folder;
  platform::FileSystem& files = platform::SystemFileSystem();
  updater::RunLog log{files, folder.Child("update\\"), [] { return std::string("T"); }};
};

TEST_F(RunLogFile, CreatesItsFolderAndWritesOneLineAnEvent) {
  log.Write("run start: \xd6\xd0\xce\xc4");  // GBK as it is
  log.Write("a\r\nforged line\tand\x01more");
  EXPECT_EQ(Log(), "T run start: \xd6\xd0\xce\xc4\r\nT a??forged line?and?more\r\n");
}

TEST_F(RunLogFile, RotatesOnceItHasPassed256KiB) {
  const struct {
    const char* what;
    uint64_t size;  // of the log before the next line
    bool rotates;
  } rows[] = {
      {"exactly 256 KiB: kept", updater::kLogRotationSize, false},
      {"one byte past: rotated", updater::kLogRotationSize + 1, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    testing_support::MakeFolder(folder.Child("update"));
    const std::string old(static_cast<std::size_t>(row.size), 'o');
    WriteFileBytes(folder.Child("update\\ostrel.log"), old);
    WriteFileBytes(folder.Child("update\\ostrel.log.1"), "older");
    log.Write("next");
    EXPECT_EQ(Log(), row.rotates ? "T next\r\n" : old + "T next\r\n");
    EXPECT_EQ(Older(), row.rotates ? old : "older");  // one older file kept
  }
}

TEST(RunLog, AnUnwritableLogFailsNothing) {
  testing_support::TempFolder folder;
  // The log's folder is a file: nothing can be written, and nothing is thrown.
  WriteFileBytes(folder.Child("update"), "a file");
  updater::RunLog log(platform::SystemFileSystem(), folder.Child("update\\"));
  log.Write("lost");
  EXPECT_EQ(ReadFileBytes(folder.Child("update")), "a file");
}

}  // namespace
