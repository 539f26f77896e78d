// Files and folders: POSIX natively (with Windows-style paths), the Win32 API under Wine.
#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "platform/processes.h"
#include "support/temp_folder.h"

namespace {

using platform::CreateFolderResult;
using testing_support::TempFolder;

TEST(FileSystemContract, CreatesOneFolderLevelOnly) {
  platform::FileSystem& files = platform::SystemFileSystem();
  TempFolder folder;
  const std::string update = folder.Child("update");
  EXPECT_FALSE(files.Exists(update));
  EXPECT_EQ(files.CreateFolder(update), CreateFolderResult::kCreated);
  EXPECT_TRUE(files.Exists(update));
  EXPECT_EQ(files.CreateFolder(update), CreateFolderResult::kAlreadyExists);
  EXPECT_EQ(files.CreateFolder(folder.Child("missing\\child")), CreateFolderResult::kFailed);
  EXPECT_FALSE(files.Exists(folder.Child("missing")));
}

TEST(FileSystemContract, AFileCountsAsExistingFolder) {
  platform::FileSystem& files = platform::SystemFileSystem();
  TempFolder folder;
  testing_support::WriteFileBytes(folder.Child("taken"), "x");
  EXPECT_TRUE(files.Exists(folder.Child("taken")));
  EXPECT_EQ(files.CreateFolder(folder.Child("taken")), CreateFolderResult::kAlreadyExists);
}

TEST(FileSystemContract, NamesIgnoreLetterCase) {
  platform::FileSystem& files = platform::SystemFileSystem();
  TempFolder folder;
  ASSERT_EQ(files.CreateFolder(folder.Child("update")), CreateFolderResult::kCreated);
  testing_support::WriteFileBytes(folder.Child("update\\update.ini"), "[main]\r\n");
  EXPECT_TRUE(files.Exists(folder.Child("Update\\UPDATE.ini")));
}

TEST(FileSystemContract, ProgramFileNameIsThisProgram) {
  const std::string name = platform::ProgramFileName();
  EXPECT_NE(name.find("platform_tests"), std::string::npos);
  EXPECT_NE(name.find('\\'), std::string::npos);
}

}  // namespace

namespace {

TEST(FileSystemContract, WholeFileReplacesTheOldOneAndLeavesNoPartial) {
  platform::FileSystem& files = platform::SystemFileSystem();
  TempFolder folder;
  const std::string path = folder.Child("update.ini");
  testing_support::WriteFileBytes(path, std::string(5000, 'o'));
  const std::string data = "[main]\r\nversion=1.0.0.2\r\n" + std::string(3000, '\x81');
  ASSERT_TRUE(files.WriteWholeFile(path, data, platform::Durability::kFlushedToDisk));
  EXPECT_EQ(testing_support::ReadFileBytes(path), data);
  EXPECT_FALSE(files.Exists(platform::PartialFileName(path)));
  ASSERT_TRUE(files.WriteWholeFile(path, "", platform::Durability::kWholeOrAbsent));
  EXPECT_TRUE(files.Exists(path));
  EXPECT_EQ(testing_support::ReadFileBytes(path), "");
}

TEST(FileSystemContract, WholeFileIntoAMissingFolderFailsAndWritesNothing) {
  platform::FileSystem& files = platform::SystemFileSystem();
  TempFolder folder;
  EXPECT_FALSE(files.WriteWholeFile(folder.Child("missing\\update.ini"), "x",
                                    platform::Durability::kFlushedToDisk));
  EXPECT_FALSE(files.Exists(folder.Child("missing")));
}

TEST(FileSystemContract, WholeFileOverAFolderFailsAndKeepsIt) {
  platform::FileSystem& files = platform::SystemFileSystem();
  TempFolder folder;
  ASSERT_TRUE(testing_support::MakeFolder(folder.Child("update.ini")));
  EXPECT_FALSE(
      files.WriteWholeFile(folder.Child("update.ini"), "x", platform::Durability::kFlushedToDisk));
  EXPECT_TRUE(files.Exists(folder.Child("update.ini")));
  EXPECT_FALSE(files.Exists(platform::PartialFileName(folder.Child("update.ini"))));
}

}  // namespace

namespace {

// What the log needs: appending, the size, the rename to the older file, and why a write
// failed.
TEST(FileSystemContract, AppendSizeAndRenameForTheLog) {
  platform::FileSystem& files = platform::SystemFileSystem();
  TempFolder folder;
  const std::string log = folder.Child("ostrel.log");
  EXPECT_FALSE(files.FileSize(log));
  ASSERT_TRUE(files.AppendToFile(log, "one\r\n"));
  ASSERT_TRUE(files.AppendToFile(log, "two\r\n"));
  EXPECT_EQ(testing_support::ReadFileBytes(log), "one\r\ntwo\r\n");
  EXPECT_EQ(files.FileSize(log), 10u);
  testing_support::WriteFileBytes(folder.Child("ostrel.log.1"), "older");
  ASSERT_TRUE(files.RenameReplacing(log, folder.Child("ostrel.log.1")));
  EXPECT_FALSE(files.Exists(log));
  EXPECT_EQ(testing_support::ReadFileBytes(folder.Child("ostrel.log.1")), "one\r\ntwo\r\n");
  EXPECT_FALSE(files.FileSize(folder.path()));  // a folder has no file size

  EXPECT_FALSE(files.AppendToFile(folder.Child("missing\\ostrel.log"), "x"));
  EXPECT_NE(files.LastError(), 0u);
  EXPECT_FALSE(files.WriteWholeFile(folder.Child("missing\\a.txt"), "x",
                                    platform::Durability::kFlushedToDisk));
  EXPECT_NE(files.LastError(), 0u);  // the store's error, not the clean-up's
}

TEST(FileSystemContract, ReadsAFileInPiecesInOrder) {
  platform::FileSystem& files = platform::SystemFileSystem();
  TempFolder folder;
  std::string content(platform::kReadPieceSize * 2 + 3, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7 % 251);
  testing_support::WriteFileBytes(folder.Child("big.bin"), content);
  std::string read;
  std::size_t pieces = 0;
  ASSERT_TRUE(files.ReadFileInPieces(folder.Child("big.bin"), [&](std::string_view piece) {
    EXPECT_LE(piece.size(), platform::kReadPieceSize);
    read.append(piece);
    ++pieces;
    return true;
  }));
  EXPECT_EQ(read, content);
  EXPECT_GE(pieces, 3u);
  EXPECT_EQ(platform::ReadWholeFile(files, folder.Child("BIG.bin")), content);
}

TEST(FileSystemContract, ReadingStopsAndFails) {
  platform::FileSystem& files = platform::SystemFileSystem();
  TempFolder folder;
  testing_support::WriteFileBytes(folder.Child("a.txt"), "abc");
  testing_support::WriteFileBytes(folder.Child("empty.txt"), "");
  const auto all = [](std::string_view) { return true; };
  EXPECT_EQ(platform::ReadWholeFile(files, folder.Child("empty.txt")), "");
  EXPECT_FALSE(files.ReadFileInPieces(folder.Child("missing.txt"), all));
  EXPECT_FALSE(files.ReadFileInPieces(folder.path(), all)) << "a folder";
  EXPECT_FALSE(files.ReadFileInPieces(folder.Child("a.txt"), [](std::string_view) {
    return false;
  })) << "the reader stopped";
}

}  // namespace
