#include "layout/update_layout.h"

#include <gtest/gtest.h>

namespace {

// Every path of a run comes from the layout made at start; one that cannot be made ends the
// run there, before anything is read, fetched or written below the root of a drive.
TEST(UpdateLayout, ResolvedOnceFromTheProgramFile) {
  const std::string longFolder = "C:\\" + std::string(245, 'd');
  const struct {
    const char* what;
    std::string programFile;
    const char* programFolder;  // nullptr: the run ends at its start
  } cases[] = {
      {"ordinary", "C:\\Reader\\Ostrel.exe", "C:\\Reader\\"},
      {"drive root", "C:\\Ostrel.exe", "C:\\"},
      {"GBK folder with trail byte 0x5C", "C:\\\x95\x5c\\Ostrel.exe", "C:\\\x95\x5c\\"},
      {"no backslash", "Ostrel.exe", nullptr},
      {"no module name", "", nullptr},
      {"a module name of 260 bytes or more", longFolder + "x\\Ostrel.exe", nullptr},
      {"longer still: no folder, not the drive's root", "C:\\" + std::string(300, 'r') + "\\O.exe",
       nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::optional<updater::UpdateLayout> layout = updater::LayoutOfProgram(c.programFile);
    ASSERT_EQ(layout.has_value(), c.programFolder != nullptr);
    if (!layout) continue;
    const std::string folder = c.programFolder;
    EXPECT_EQ(layout->programFolder, folder);
    // The names and their case are what earlier runs stored on disk.
    EXPECT_EQ(layout->updateFolder, folder + "update\\");
    EXPECT_EQ(layout->UpdateFolderToCreate(), folder + "update");
    EXPECT_EQ(layout->files.manifest, folder + "update\\update.ini");
    EXPECT_EQ(layout->files.record, folder + "update\\updateok.ini");
    EXPECT_EQ(layout->signedMark, folder + "ostrel-signed-version.txt");
  }
}

TEST(UpdateLayout, BelowAFolderWithOrWithoutItsBackslash) {
  const struct {
    const char* folder;
    const char* updateFolder;
  } cases[] = {
      {"C:\\Reader", "C:\\Reader\\update\\"},
      {"C:\\Reader\\", "C:\\Reader\\update\\"},
      // 0x5C as the trail byte of a GBK character is no backslash of its own.
      {"C:\\\x95\x5c", "C:\\\x95\x5c\\update\\"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder);
    const updater::UpdateLayout layout = updater::LayoutBelow(c.folder);
    EXPECT_EQ(layout.updateFolder, c.updateFolder);
    EXPECT_EQ(layout.files.manifest, std::string(c.updateFolder) + "update.ini");
  }
}

}  // namespace
