// The manifest and the download record over the running system's profile routines (the
// portable engine natively, the real ones under Wine) in a fresh folder per test.
#include "manifest/manifest.h"

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace {

using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;
using updater::ManifestEntry;

class Manifest : public ::testing::Test {
 protected:
  Manifest() { testing_support::MakeFolder(program.Child("update")); }

  void WriteManifest(const std::string& text) { WriteFileBytes(files.manifest, text); }
  std::vector<std::string> ListedNames() {
    std::vector<std::string> names;
    for (const ManifestEntry& entry : updater::ReadManifestFileList(profiles, files)) {
      names.push_back(entry.name);
    }
    return names;
  }
  // One run of the file-list page's loop: fetch (here: count) each file not yet recorded.
  int RunDownloads(int stopAfter = -1) {
    int fetched = 0;
    for (const ManifestEntry& entry : updater::ReadManifestFileList(profiles, files)) {
      if (updater::IsFileDone(profiles, files, entry.name)) continue;
      if (fetched == stopAfter) break;
      ++fetched;
      updater::RecordFileDone(profiles, files, entry.name);
    }
    return fetched;
  }

  platform::IniFiles& profiles = platform::SystemIniFiles();
  testing_support::TempFolder program;
  updater::UpdateFiles files = updater::LayoutBelow(program.path()).files;
};

TEST_F(Manifest, PathsBelowTheProgramFolder) {
  EXPECT_EQ(files.manifest, program.path() + "\\update\\update.ini");
  EXPECT_EQ(files.record, program.path() + "\\update\\updateok.ini");
  EXPECT_EQ(updater::LayoutBelow("C:\\Reader\\").files.manifest, "C:\\Reader\\update\\update.ini");
}

TEST_F(Manifest, ListKeepsEntriesLongerThanFourBytes) {
  WriteManifest(
      "[main]\r\nversion=1.0.0.2\r\nfilenum=6\r\n[list]\r\nfile1=setup.exe\r\nfile2=a.dl\r\n"
      "file3=b.dll\r\nfile5=sub\\c.txt\r\nfile6=\r\nfile7=beyond.dll\r\n");
  const std::vector<ManifestEntry> entries = updater::ReadManifestFileList(profiles, files);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].number, 1);
  EXPECT_EQ(entries[0].name, "setup.exe");
  EXPECT_EQ(entries[1].number, 3);
  EXPECT_EQ(entries[1].name, "b.dll");
  EXPECT_EQ(entries[2].number, 5);
  EXPECT_EQ(entries[2].name, "sub\\c.txt");
}

TEST_F(Manifest, ListReadsOnlyTheCanonicalKeysUpToTheCount) {
  WriteManifest(
      "[main]\r\nfilenum=3\r\n[list]\r\nFILE3=third.dll\r\nfile01=zero.dll\r\nfile+2=plus.dll\r\n"
      "file1=first.dll\r\nfile1=again.dll\r\nfile4=fourth.dll\r\n");
  EXPECT_EQ(ListedNames(), (std::vector<std::string>{"first.dll", "third.dll"}));
}

TEST_F(Manifest, KeyLineWithoutValueHidesTheLaterLinesOfItsKey) {
  WriteManifest(
      "[main]\r\nfilenum=3\r\n[list]\r\nfile2\r\nfile1=first.dll\r\nfile2=second.dll\r\n"
      "file3=third.dll\r\n");
  EXPECT_EQ(ListedNames(), (std::vector<std::string>{"first.dll", "third.dll"}));
}

TEST_F(Manifest, ListOfMissingOrBrokenManifestIsEmpty) {
  EXPECT_TRUE(ListedNames().empty());
  WriteManifest("[main]\r\nfilenum=-3\r\n[list]\r\nfile1=setup.exe\r\n");
  EXPECT_TRUE(ListedNames().empty());
  WriteManifest("not an ini file at all");
  EXPECT_TRUE(ListedNames().empty());
}

TEST_F(Manifest, HugeCountReadsOnlyTheKeysThatExist) {
  WriteManifest(
      "[main]\r\nversion=1\r\nfilenum=2147483647\r\n[list]\r\nfile1=setup.exe\r\n"
      "file2147483647=last.dll\r\nfile2147483648=over.dll\r\n");
  EXPECT_EQ(ListedNames(), (std::vector<std::string>{"setup.exe", "last.dll"}));
}

TEST_F(Manifest, VersionIsCutTo127Bytes) {
  WriteManifest("[main]\r\nversion=" + std::string(200, '9') + "\r\n");
  EXPECT_EQ(updater::ReadManifestVersionAt(profiles, files), std::string(127, '9'));
}

TEST_F(Manifest, RecordUnderTheManifestVersion) {
  WriteManifest("[main]\r\nversion=1.0.0.2\r\n");
  EXPECT_FALSE(updater::IsFileDone(profiles, files, "a.dll"));
  updater::RecordFileDone(profiles, files, "a.dll");
  updater::RecordFileDone(profiles, files, "Sub\\B.dll");
  EXPECT_TRUE(updater::IsFileDone(profiles, files, "a.dll"));
  EXPECT_TRUE(updater::IsFileDone(profiles, files, "A.DLL"));  // ASCII case ignored
  EXPECT_TRUE(updater::IsFileDone(profiles, files, "sub\\b.dll"));
  EXPECT_FALSE(updater::IsFileDone(profiles, files, "c.dll"));
  EXPECT_EQ(profiles.ReadInt(files.record, "1.0.0.2", "oknum", 0), 2);
  EXPECT_EQ(profiles.ReadString(files.record, "1.0.0.2", "ok2", "", 260), "Sub\\B.dll");
}

TEST_F(Manifest, ForgottenFilesAreFetchedAgainAndOthersStayDone) {
  WriteManifest("[main]\r\nversion=1.0.0.2\r\n");
  for (const char* name : {"a.dll", "b.dll", "A.DLL"})
    updater::RecordFileDone(profiles, files, name);
  updater::ForgetFileDone(profiles, files, "a.dll");
  EXPECT_FALSE(updater::IsFileDone(profiles, files, "a.dll"));  // both records of it
  EXPECT_TRUE(updater::IsFileDone(profiles, files, "b.dll"));
  updater::RecordFileDone(profiles, files, "a.dll");  // fetched again: recorded after the rest
  EXPECT_TRUE(updater::IsFileDone(profiles, files, "a.dll"));
  EXPECT_EQ(profiles.ReadString(files.record, "1.0.0.2", "ok4", "", 260), "a.dll");
}

// A read takes blanks and enclosing quotation marks off; the record keeps them all the same.
TEST_F(Manifest, RecordedNamesWithBlanksOrQuotesAreDone) {
  WriteManifest("[main]\r\nversion=1\r\n");
  const char* const names[] = {" lead.dll", "trail.dll ", "\"q.dll\"", "'s.dll'"};
  for (const char* name : names) updater::RecordFileDone(profiles, files, name);
  const updater::FinishedDownloads finished(profiles, files);
  for (const char* name : names) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(updater::IsFileDone(profiles, files, name));
    EXPECT_TRUE(finished.Contains(name));
  }
  EXPECT_FALSE(updater::IsFileDone(profiles, files, "q.dll"));
}

TEST_F(Manifest, DoubleByteCharactersCompareExactly) {
  WriteManifest("[main]\r\nversion=1\r\n");
  updater::RecordFileDone(profiles, files, "\x81\x41.dll");
  EXPECT_TRUE(updater::IsFileDone(profiles, files, "\x81\x41.DLL"));
  EXPECT_FALSE(updater::IsFileDone(profiles, files, "\x81\x61.dll"));
}

TEST_F(Manifest, InterruptedRunResumesWithTheFilesNotRecorded) {
  WriteManifest(
      "[main]\r\nversion=1.0.0.2\r\nfilenum=5\r\n[list]\r\nfile1=setup.exe\r\nfile2=a.dll\r\n"
      "file3=b.dll\r\nfile4=c.dll\r\nfile5=a.dll\r\n");
  EXPECT_EQ(RunDownloads(2), 2);  // interrupted after two files
  EXPECT_EQ(RunDownloads(), 2);   // b.dll and c.dll; the second a.dll counts as done
  EXPECT_EQ(RunDownloads(), 0);
  EXPECT_EQ(profiles.ReadInt(files.record, "1.0.0.2", "oknum", 0), 4);
}

TEST_F(Manifest, NewVersionStartsAnEmptySection) {
  WriteManifest(
      "[main]\r\nversion=1.0.0.2\r\nfilenum=2\r\n[list]\r\nfile1=setup.exe\r\n"
      "file2=a.dll\r\n");
  EXPECT_EQ(RunDownloads(), 2);
  WriteManifest(
      "[main]\r\nversion=1.0.0.3\r\nfilenum=2\r\n[list]\r\nfile1=setup.exe\r\n"
      "file2=a.dll\r\n");
  EXPECT_FALSE(updater::IsFileDone(profiles, files, "setup.exe"));
  EXPECT_EQ(RunDownloads(), 2);
  EXPECT_EQ(profiles.ReadInt(files.record, "1.0.0.3", "oknum", 0), 2);
  EXPECT_EQ(profiles.ReadString(files.record, "1.0.0.3", "ok1", "", 260), "setup.exe");
  EXPECT_EQ(profiles.ReadInt(files.record, "1.0.0.2", "oknum", 0), 2);  // old one left alone
}

TEST_F(Manifest, EmptyVersionIsNeverDone) {
  WriteManifest("[main]\r\nfilenum=1\r\n[list]\r\nfile1=setup.exe\r\n");
  updater::RecordFileDone(profiles, files, "setup.exe");
  EXPECT_FALSE(updater::IsFileDone(profiles, files, "setup.exe"));
  EXPECT_NE(ReadFileBytes(files.record).find("ok1=setup.exe"), std::string::npos);
}

TEST_F(Manifest, HugeRecordCountNeitherHangsNorWraps) {
  WriteManifest("[main]\r\nversion=1\r\n");
  WriteFileBytes(files.record, "[1]\r\noknum=2147483647\r\nok7=a.dll\r\n");
  EXPECT_TRUE(updater::IsFileDone(profiles, files, "a.dll"));
  EXPECT_FALSE(updater::IsFileDone(profiles, files, "b.dll"));
  updater::RecordFileDone(profiles, files, "b.dll");
  EXPECT_EQ(profiles.ReadString(files.record, "1", "oknum", "", 128), "2147483648");
  EXPECT_EQ(profiles.ReadString(files.record, "1", "ok2147483648", "", 260), "b.dll");
}

TEST_F(Manifest, NegativeRecordCountCountsAsNone) {
  WriteManifest("[main]\r\nversion=1\r\n");
  WriteFileBytes(files.record, "[1]\r\noknum=-4\r\nok1=a.dll\r\n");
  EXPECT_FALSE(updater::IsFileDone(profiles, files, "a.dll"));
  updater::RecordFileDone(profiles, files, "b.dll");
  EXPECT_EQ(profiles.ReadInt(files.record, "1", "oknum", 0), 1);
  EXPECT_EQ(profiles.ReadString(files.record, "1", "ok1", "", 260), "b.dll");
}

// The record kept in memory answers exactly as the record on disk does.
TEST_F(Manifest, FinishedDownloadsAnswerAsTheRecordDoes) {
  WriteManifest("[main]\r\nversion=2\r\n");
  WriteFileBytes(files.record,
                 "[2]\r\noknum=4\r\nok1=a.dll\r\nok2=Sub\\B.dll\r\nok3=\x81\x41.dll\r\nok4=\r\n"
                 "ok5=beyond.dll\r\n[1]\r\noknum=1\r\nok1=old.dll\r\n");
  const struct {
    const char* name;
    bool done;
  } rows[] = {
      {"a.dll", true},
      {"A.DLL", true},
      {"sub\\b.dll", true},
      {"\x81\x41.DLL", true},
      {"\x81\x61.dll", false},  // a trail byte is no letter
      {"", false},
      {"beyond.dll", false},  // past oknum
      {"old.dll", false},
      {"c.dll", false},
  };
  const updater::FinishedDownloads finished(profiles, files);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(updater::IsFileDone(profiles, files, row.name), row.done);
    EXPECT_EQ(finished.Contains(row.name), row.done);
  }
}

}  // namespace
