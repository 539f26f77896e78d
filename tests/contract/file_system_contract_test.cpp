// Files and folders: POSIX natively (with Windows-style paths), the Win32 API under Wine.
#include <gtest/gtest.h>

#include "platform/file_system.h"
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

TEST(FileSystemContract, ModuleFileNameIsThisProgram) {
  platform::FileSystem& files = platform::SystemFileSystem();
  char name[260] = {};
  const std::size_t length = files.ModuleFileName(name, sizeof name);
  ASSERT_GT(length, 0u);
  ASSERT_LT(length, sizeof name);
  EXPECT_NE(std::string(name, length).find("platform_tests"), std::string::npos);
  EXPECT_NE(std::string(name, length).find('\\'), std::string::npos);
}

}  // namespace
