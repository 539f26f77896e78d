// The reader close and the install over an in-memory disk, process list and manifest.
#include "install/install.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "install/reader_process.h"
#include "platform/gbk.h"
#include "support/inert_file_system.h"
#include "support/log_capture.h"
#include "support/memory_disk.h"
#include "support/test_program.h"

namespace {

updater::RunLog noLog;

using platform::FolderEntry;
using testing_support::MemoryDisk;

// The process list in a fixed order; `visited` counts the entries the walk looked at.
class FakeProcesses : public platform::Processes {
 public:
  void ForEachProcess(const std::function<bool(const platform::ProcessEntry&)>& visit) override {
    for (const platform::ProcessEntry& entry : running) {
      ++visited;
      if (!visit(entry)) return;
    }
  }
  bool Terminate(uint32_t processId, uint32_t exitCode) override {
    log.push_back("terminate " + std::to_string(processId) + " " + std::to_string(exitCode));
    return terminateSucceeds;
  }
  bool Start(const std::string& application, const std::string& commandLine,
             const std::string& currentFolder) override {
    log.push_back("start " + application + " | " + commandLine + " in " + currentFolder);
    return true;
  }

  std::vector<platform::ProcessEntry> running;
  bool terminateSucceeds = true;
  int visited = 0;
  std::vector<std::string> log;
};

// list/file1 of one manifest; every other read gives the default.
class FakeManifest : public platform::IniFiles {
 public:
  std::string ReadString(const std::string& file, const std::string& section,
                         const std::string& key, const std::string& defaultValue,
                         std::size_t bufferSize) override {
    const bool found = file == path && section == "list" && key == "file1" && hasFile1;
    return (found ? file1 : defaultValue).substr(0, bufferSize - 1);
  }
  int32_t ReadInt(const std::string&, const std::string&, const std::string&,
                  int32_t defaultValue) override {
    return defaultValue;
  }
  bool WriteString(const std::string&, const std::string&, const std::string&,
                   const std::string&) override {
    return false;
  }
  std::vector<std::pair<std::string, std::string>> ReadSection(const std::string&,
                                                               const std::string&,
                                                               std::size_t) override {
    return {};
  }

  std::string path = "C:\\Reader\\update\\update.ini";
  bool hasFile1 = true;
  std::string file1 = "setup.exe";
};

using Strings = std::vector<std::string>;

// ---- CloseRunningReader ----------------------------------------------------------------------

struct ReaderCase {
  const char* what;
  std::vector<platform::ProcessEntry> running;
  bool terminateSucceeds;
  Strings expectedLog;
  int expectedVisited;
  bool expectedResult;
};

const ReaderCase kReaderCases[] = {
    {"no reader running", {{4, "System"}, {8, "Ostrel.exe"}}, true, {}, 2, false},
    {"one reader", {{4, "explorer.exe"}, {12, "Tavrel.exe"}}, true, {"terminate 12 1"}, 2, true},
    {"two readers: only the first, the walk stops there",
     {{4, "System"}, {20, "Tavrel.exe"}, {30, "Tavrel.exe"}, {40, "x.exe"}},
     true,
     {"terminate 20 1"},
     2,
     true},
    {"capitals never match", {{5, "TAVREL.EXE"}, {6, "tavrel.exe"}}, true, {}, 2, false},
    {"full paths never match",
     {{5, "C:\\Program Files\\Tavrel\\Tavrel.exe"}, {6, "\\Tavrel.exe"}},
     true,
     {},
     2,
     false},
    {"near names never match",
     {{5, "Tavrel.exe "}, {6, "Tavrel.ex"}, {7, "Tavrel.exe.exe"}, {8, "xTavrel.exe"}},
     true,
     {},
     4,
     false},
    {"termination fails: nothing else is tried",
     {{20, "Tavrel.exe"}, {30, "Tavrel.exe"}},
     false,
     {"terminate 20 1"},
     1,
     false},
};

TEST(CloseRunningReader, MatchRule) {
  for (const ReaderCase& row : kReaderCases) {
    SCOPED_TRACE(row.what);
    FakeProcesses processes;
    processes.running = row.running;
    processes.terminateSucceeds = row.terminateSucceeds;
    EXPECT_EQ(updater::CloseRunningReader(processes, noLog), row.expectedResult);
    EXPECT_EQ(processes.log, row.expectedLog);
    EXPECT_EQ(processes.visited, row.expectedVisited);
  }
}

// ---- MoveUpdateTree ----------------------------------------------------------------------------

const updater::InstallFolders kFolders{"C:\\Reader\\", "C:\\Reader\\update\\"};

struct TreeCase {
  const char* what;
  Strings updateFiles;      // below C:\Reader\update
  Strings programFiles;     // below C:\Reader, "name=content" ("new" when no content)
  Strings inUse;            // targets below C:\Reader that cannot be replaced now
  Strings expectedProgram;  // everything below C:\Reader afterwards, update\ included
  Strings expectedScheduled;
};

// "name" or "name=content".
void AddFiles(MemoryDisk& disk, const std::string& folder, const Strings& files) {
  for (const std::string& file : files) {
    const std::size_t equals = file.find('=');
    if (equals == std::string::npos) {
      disk.AddFile(folder + file);
    } else {
      disk.AddFile(folder + file.substr(0, equals), file.substr(equals + 1));
    }
  }
}

const TreeCase kTreeCases[] = {
    {"manifest files deleted, files moved, sub created, update removed",
     {"update.ini", "updateok.ini", "setup.exe", "sub\\b.dll"},
     {"Ostrel.exe=old"},
     {},
     {"Ostrel.exe=old", "setup.exe=new", "sub\\", "sub\\b.dll=new"},
     {}},
    {"manifest names in any case in a subfolder are deleted",
     {"sub\\UPDATE.INI", "sub\\UpdateOK.ini", "sub\\c.txt", "deep\\er\\Update.Ini"},
     {},
     {},
     {"deep\\", "deep\\er\\", "sub\\", "sub\\c.txt=new"},
     {}},
    {"files already there are replaced, folders already there kept",
     {"a.dll", "sub\\b.dll"},
     {"a.dll=old", "sub\\b.dll=old", "sub\\keep.txt=old"},
     {},
     {"a.dll=new", "sub\\", "sub\\b.dll=new", "sub\\keep.txt=old"},
     {}},
    {"a target in use: move scheduled, the source and update stay",
     {"reader.dll", "a.txt"},
     {"reader.dll=old"},
     {"reader.dll"},
     {"a.txt=new", "reader.dll=old", "update\\", "update\\reader.dll=new"},
     {"C:\\Reader\\update\\reader.dll -> C:\\Reader\\reader.dll"}},
    {"a target in use in a subfolder keeps that subfolder only",
     {"sub\\x.dll", "sub\\y.dll", "other\\z.dll"},
     {"sub\\x.dll=old"},
     {"sub\\x.dll"},
     {"other\\", "other\\z.dll=new", "sub\\", "sub\\x.dll=old", "sub\\y.dll=new", "update\\",
      "update\\sub\\", "update\\sub\\x.dll=new"},
     {"C:\\Reader\\update\\sub\\x.dll -> C:\\Reader\\sub\\x.dll"}},
    {"leftovers of an earlier update move along",
     {"update.ini", "old.dll=earlier", "setup.exe"},
     {},
     {},
     {"old.dll=earlier", "setup.exe=new"},
     {}},
    {"bin\\setup.exe with no bin in the program folder",
     {"bin\\setup.exe"},
     {},
     {},
     {"bin\\", "bin\\setup.exe=new"},
     {}},
    {"deep nesting",
     {"a\\b\\c\\d.txt"},
     {},
     {},
     {"a\\", "a\\b\\", "a\\b\\c\\", "a\\b\\c\\d.txt=new"},
     {}},
    {"a GBK folder name ending in byte 0x5C",
     {"\x95\x5c\\f.txt"},
     {},
     {},
     {"\x95\x5c\\", "\x95\x5c\\f.txt=new"},
     {}},
    {"empty update folder is removed", {}, {"a.txt=old"}, {}, {"a.txt=old"}, {}},
    {"leftover temporary files are deleted, never moved",
     {"a.txt.partial", "sub\\b.dll.PARTIAL", "c.txt"},
     {},
     {},
     {"c.txt=new", "sub\\"},
     {}},
    {"the log stays in update\\, a file of that name deeper down is moved",
     {"ostrel.log=log", "OSTREL.LOG.1=older", "sub\\ostrel.log=shipped", "a.txt"},
     {},
     {},
     {"a.txt=new", "sub\\", "sub\\ostrel.log=shipped", "update\\", "update\\OSTREL.LOG.1=older",
      "update\\ostrel.log=log"},
     {}},
};

TEST(MoveUpdateTree, Cases) {
  for (const TreeCase& row : kTreeCases) {
    SCOPED_TRACE(row.what);
    MemoryDisk disk;
    disk.AddFolder("C:\\Reader\\update");
    AddFiles(disk, "C:\\Reader\\", row.programFiles);
    AddFiles(disk, "C:\\Reader\\update\\", row.updateFiles);
    for (const std::string& target : row.inUse)
      disk.inUse.insert(MemoryDisk::Key("C:\\Reader\\" + target));

    updater::MoveUpdateTree(disk, disk, kFolders, kFolders.updateFolder, noLog);

    Strings program = disk.Below("C:\\Reader");
    std::sort(program.begin(), program.end());
    EXPECT_EQ(program, row.expectedProgram);
    EXPECT_EQ(disk.scheduled, row.expectedScheduled);
  }
}

TEST(MoveUpdateTree, TargetFolderThatCannotBeCreated) {
  MemoryDisk disk;
  disk.AddFile("C:\\Reader\\update\\sub\\b.dll");
  disk.refuseFolders.insert(MemoryDisk::Key("C:\\Reader\\sub"));
  updater::MoveUpdateTree(disk, disk, kFolders, kFolders.updateFolder, noLog);
  EXPECT_EQ(disk.scheduled, Strings{"C:\\Reader\\update\\sub\\b.dll -> C:\\Reader\\sub\\b.dll"});
  EXPECT_TRUE(disk.Has("C:\\Reader\\update\\sub\\b.dll"));
}

TEST(MoveUpdateTree, ManifestThatCannotBeDeletedKeepsItsFolder) {
  MemoryDisk disk;
  disk.AddFile("C:\\Reader\\update\\update.ini");
  disk.AddFile("C:\\Reader\\update\\a.txt");
  disk.undeletable.insert(MemoryDisk::Key("C:\\Reader\\update\\update.ini"));
  updater::MoveUpdateTree(disk, disk, kFolders, kFolders.updateFolder, noLog);
  EXPECT_EQ(disk.Below("C:\\Reader\\update"), Strings{"update.ini=new"});
  EXPECT_TRUE(disk.Has("C:\\Reader\\a.txt"));
  EXPECT_TRUE(disk.scheduled.empty());
}

TEST(MoveUpdateTree, SubfoldersAreWalkedWithTheirBackslash) {
  MemoryDisk disk;
  disk.AddFile("C:\\Reader\\update\\sub\\deeper\\d.txt");
  updater::MoveUpdateTree(disk, disk, kFolders, kFolders.updateFolder, noLog);
  EXPECT_EQ(disk.listed, (Strings{"C:\\Reader\\update\\", "C:\\Reader\\update\\sub\\",
                                  "C:\\Reader\\update\\sub\\deeper\\"}));
  EXPECT_EQ(disk.created, (Strings{"C:\\Reader\\sub", "C:\\Reader\\sub\\deeper"}));
}

TEST(MoveUpdateTree, EntriesTheFilterDoesNotTakeStayWhereTheyAre) {
  MemoryDisk disk;
  for (const char* file :
       {"setup.exe", "planted.exe", "sub\\b.dll", "sub\\c.dll", "stray\\x.dll", "update.ini"}) {
    disk.AddFile(std::string("C:\\Reader\\update\\") + file);
  }
  updater::InstallFolders folders = kFolders;
  folders.installs = [](const std::string& relative, bool isFolder) {
    return isFolder ? relative == "sub" : relative == "setup.exe" || relative == "sub\\b.dll";
  };
  updater::MoveUpdateTree(disk, disk, folders, folders.updateFolder, noLog);
  Strings program = disk.Below("C:\\Reader");
  std::sort(program.begin(), program.end());
  EXPECT_EQ(program,
            (Strings{"setup.exe=new", "sub\\", "sub\\b.dll=new", "update\\",
                     "update\\planted.exe=new", "update\\stray\\", "update\\stray\\x.dll=new",
                     "update\\sub\\", "update\\sub\\c.dll=new"}));
}

TEST(MoveUpdateTree, FolderOutsideTheUpdateTreeIsLeftAlone) {
  MemoryDisk disk;
  disk.AddFile("C:\\Other\\a.txt");
  updater::MoveUpdateTree(disk, disk, kFolders, "C:\\Other\\", noLog);
  EXPECT_TRUE(disk.Has("C:\\Other\\a.txt"));
  EXPECT_TRUE(disk.listed.empty());
}

// ---- StartInstaller ----------------------------------------------------------------------------

TEST(StartInstaller, QuotedPathAsTheOnlyWordAndLengthLimit) {
  const std::string at255 = "C:\\" + std::string(248, 'a') + ".exe";
  ASSERT_EQ(at255.size(), 255u);
  const struct {
    const char* what;
    std::string path;
    Strings expectedLog;
  } cases[] = {
      {"a blank in the folder",
       "C:\\Program Files\\Reader\\setup.exe",
       {"start C:\\Program Files\\Reader\\setup.exe | \"C:\\Program Files\\Reader\\setup.exe\" in "
        "C:\\Program Files\\Reader\\"}},
      {"255 bytes fit", at255, {"start " + at255 + " | \"" + at255 + "\" in C:\\"}},
      {"256 bytes are refused", at255 + "x", {}},
      {"empty is refused", "", {}},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.what);
    FakeProcesses processes;
    const std::string folder = row.path.substr(0, row.path.rfind('\\') + 1);
    EXPECT_EQ(updater::StartInstaller(processes, row.path, folder), !row.expectedLog.empty());
    EXPECT_EQ(processes.log, row.expectedLog);
  }
}

// ---- InstallUpdate -----------------------------------------------------------------------------

class InstallUpdate : public ::testing::Test {
 protected:
  updater::InstallReport Run() {
    return updater::InstallUpdate(Context(),
                                  [this] { processes.log.push_back("installing shown"); });
  }
  updater::ProgramContext Context() {
    return testing_support::TestProgram(programFolder)
        .Files(disk)
        .Tree(disk)
        .Profiles(manifest)
        .Processes(processes)
        .Log(capture.log)
        .Context();
  }

  std::string programFolder = "C:\\Reader\\";
  MemoryDisk disk;
  FakeManifest manifest;
  FakeProcesses processes;
  testing_support::LogCapture capture;
};

TEST_F(InstallUpdate, EveryStepIsLoggedWithItsError) {
  processes.running = {{20, "Tavrel.exe"}};
  disk.AddFile("C:\\Reader\\setup.exe", "old installer");
  AddFiles(disk, "C:\\Reader\\update\\",
           {"ostrel.log", "update.ini", "reader.dll", "setup.exe=installer", "x.partial"});
  disk.inUse.insert(MemoryDisk::Key("C:\\Reader\\reader.dll"));
  Run();
  EXPECT_EQ(capture.text,
            "T install: reader (process 20) terminated\r\n"
            "T install: C:\\Reader\\update\\reader.dll not moved now, error 32; it replaces "
            "C:\\Reader\\reader.dll at the next restart\r\n"
            "T install: moved C:\\Reader\\update\\setup.exe to C:\\Reader\\setup.exe\r\n"
            "T install: deleted C:\\Reader\\update\\update.ini\r\n"
            "T install: deleted C:\\Reader\\update\\x.partial\r\n"
            "T install: started C:\\Reader\\setup.exe\r\n");
}

TEST(RemoveLeftoverPartials, EveryTemporaryFileInTheUpdateTree) {
  MemoryDisk disk;
  AddFiles(disk, "C:\\Reader\\update\\",
           {"a.dll.partial", "update.ini.partial", "sub\\b.txt.Partial", "sub\\keep.txt",
            "keep.partial.txt"});
  updater::RemoveLeftoverPartials(disk, "C:\\Reader\\update\\", noLog);
  EXPECT_EQ(disk.Below("C:\\Reader\\update"),
            (Strings{"keep.partial.txt=new", "sub\\", "sub\\keep.txt=new"}));
}

TEST(RemoveLeftoverPartials, KeepsWhatTheNextFetchContinues) {
  MemoryDisk disk;
  AddFiles(disk, "C:\\Reader\\update\\",
           {"a.dll.partial", "sub\\b.txt.partial", "sub\\b.txt.partial.partial"});
  updater::RemoveLeftoverPartials(
      disk, "C:\\Reader\\update\\", noLog,
      [](const std::string& relative) { return relative.rfind("sub\\b.txt", 0) == 0; });
  Strings left = disk.Below("C:\\Reader\\update");
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (Strings{"sub\\", "sub\\b.txt.partial.partial=new", "sub\\b.txt.partial=new"}));
}

TEST_F(InstallUpdate, WholeUpdate) {
  processes.running = {{4, "System"}, {20, "Tavrel.exe"}, {30, "Tavrel.exe"}};
  disk.AddFile("C:\\Reader\\Ostrel.exe", "ostrel");
  AddFiles(disk, "C:\\Reader\\update\\",
           {"update.ini", "updateok.ini", "setup.exe=installer", "sub\\b.dll"});

  const updater::InstallReport report = Run();

  EXPECT_TRUE(report.readerTerminated);
  EXPECT_TRUE(report.installerStarted);
  EXPECT_EQ(report.installerPath, "C:\\Reader\\setup.exe");
  EXPECT_EQ(processes.log,
            (Strings{"terminate 20 1", "installing shown",
                     "start C:\\Reader\\setup.exe | \"C:\\Reader\\setup.exe\" in C:\\Reader\\"}));
  Strings program = disk.Below("C:\\Reader");
  std::sort(program.begin(), program.end());
  EXPECT_EQ(program,
            (Strings{"Ostrel.exe=ostrel", "setup.exe=installer", "sub\\", "sub\\b.dll=new"}));
}

TEST_F(InstallUpdate, NoReaderRunningStillInstalls) {
  AddFiles(disk, "C:\\Reader\\update\\", {"update.ini", "setup.exe"});
  const updater::InstallReport report = Run();
  EXPECT_FALSE(report.readerTerminated);
  EXPECT_TRUE(report.installerStarted);
  EXPECT_FALSE(disk.Has("C:\\Reader\\update"));
}

TEST_F(InstallUpdate, InstallerEntryRules) {
  const std::string at127 = std::string(123, 'i') + ".exe";
  const std::string at128 = "x" + at127;
  const struct {
    const char* what;
    bool hasFile1;
    std::string file1;
    bool started;
  } cases[] = {
      {"missing", false, "", false},
      {"empty", true, "", false},
      {"127 bytes", true, at127, true},
      {"128 bytes: the download named another file", true, at128, false},
      {"parent folder", true, "..\\evil.exe", false},
      {"absolute", true, "C:\\Windows\\evil.exe", false},
      {"device name", true, "CON", false},
      {"the manifest itself", true, "update.ini", false},
      {"a file in a subfolder", true, "bin\\setup.exe", true},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.what);
    MemoryDisk fresh;
    disk = fresh;
    processes = FakeProcesses();
    manifest.hasFile1 = row.hasFile1;
    manifest.file1 = row.file1;
    AddFiles(disk, "C:\\Reader\\update\\", {"update.ini", "a.dll"});
    if (!row.file1.empty() && row.file1.find(':') == std::string::npos &&
        row.file1.find("..") == std::string::npos) {
      disk.AddFile("C:\\Reader\\update\\" + row.file1, "installer");
    }

    const updater::InstallReport report = Run();

    EXPECT_EQ(report.installerStarted, row.started);
    EXPECT_EQ(report.installerPath, row.started ? "C:\\Reader\\" + row.file1 : "");
    // The tree moves whatever file1 says.
    EXPECT_TRUE(disk.Has("C:\\Reader\\a.dll"));
    const bool anyStart =
        std::any_of(processes.log.begin(), processes.log.end(),
                    [](const std::string& line) { return line.rfind("start", 0) == 0; });
    EXPECT_EQ(anyStart, row.started);
  }
}

TEST_F(InstallUpdate, SubfolderInstallerMovedThenStarted) {
  manifest.file1 = "bin\\setup.exe";
  AddFiles(disk, "C:\\Reader\\update\\", {"update.ini", "bin\\setup.exe=installer"});
  const updater::InstallReport report = Run();
  EXPECT_EQ(disk.Below("C:\\Reader\\bin"), Strings{"setup.exe=installer"});
  EXPECT_TRUE(report.installerStarted);
  EXPECT_EQ(report.installerPath, "C:\\Reader\\bin\\setup.exe");
}

TEST_F(InstallUpdate, InstallerAlreadyThereIsReplacedByTheDownload) {
  disk.AddFile("C:\\Reader\\setup.exe", "old installer");
  AddFiles(disk, "C:\\Reader\\update\\", {"update.ini", "setup.exe=installer"});
  Run();
  EXPECT_EQ(disk.Below("C:\\Reader"), Strings{"setup.exe=installer"});
}

TEST_F(InstallUpdate, OnlyTheInstallerThisUpdateBroughtStarts) {
  const struct {
    const char* what;
    bool brought;       // update\setup.exe is there
    bool oldInUse;      // an older setup.exe in the program folder, held open
    bool checkPasses;   // the copy left in update\ is still the promised file
    std::string start;  // what starts, "" for nothing
    bool withheld;
  } cases[] = {
      {"moved over the old one", true, false, false, "C:\\Reader\\setup.exe", false},
      {"the old one in use: the checked copy in update\\ starts", true, true, true,
       "C:\\Reader\\update\\setup.exe", false},
      {"the old one in use, the copy changed: nothing starts", true, true, false, "", true},
      {"not brought: the old one never starts", false, false, true, "", false},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.what);
    disk = MemoryDisk();
    processes = FakeProcesses();
    disk.AddFile("C:\\Reader\\setup.exe", "old installer");
    if (row.oldInUse) disk.inUse.insert(MemoryDisk::Key("C:\\Reader\\setup.exe"));
    AddFiles(disk, "C:\\Reader\\update\\",
             row.brought ? Strings{"update.ini", "setup.exe=installer"} : Strings{"update.ini"});
    const updater::InstallReport report =
        updater::InstallUpdate(Context(), {}, {}, [&row](const std::string& path) {
          EXPECT_EQ(path, "C:\\Reader\\update\\setup.exe");
          return row.checkPasses;
        });
    EXPECT_EQ(processes.log, row.start.empty() ? Strings{}
                                               : Strings{"start " + row.start + " | \"" +
                                                         row.start + "\" in C:\\Reader\\"});
    EXPECT_EQ(report.installerStarted, !row.start.empty());
    EXPECT_EQ(report.installerWithheld, row.withheld);
    EXPECT_EQ(disk.Has("C:\\Reader\\update\\setup.exe"), row.oldInUse);
  }
}

TEST_F(InstallUpdate, InstallerPathOver255BytesIsNotStartedButTheTreeMoves) {
  const std::string folder = "C:\\" + std::string(240, 'r');
  programFolder = folder + "\\";
  manifest.path = folder + "\\update\\update.ini";
  manifest.file1 = "setup-program.exe";  // folder + "\" + 17 bytes = 261 bytes
  AddFiles(disk, folder + "\\update\\", {"update.ini", "setup-program.exe"});
  const updater::InstallReport report = Run();
  EXPECT_FALSE(report.installerStarted);
  EXPECT_TRUE(disk.Has(folder + "\\setup-program.exe"));
  EXPECT_FALSE(disk.Has(folder + "\\update"));
}

}  // namespace
