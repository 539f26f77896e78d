// The file-list page's rules without windows: the rows it lists and its worker's download,
// store and record loop, over a scripted server and a program folder of its own.
#include "steps/file_download.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <set>

#include "layout/paths.h"
#include "platform/gbk.h"
#include "platform/memory_registry.h"
#include "settings/registry_values.h"
#include "settings/server_list.h"
#include "steps/manifest_download.h"
#include "support/fake_server.h"
#include "support/fake_signatures.h"
#include "support/inert_file_system.h"
#include "support/log_capture.h"
#include "support/memory_mark.h"
#include "support/recording_page_view.h"
#include "support/temp_folder.h"
#include "support/test_program.h"

namespace {

using namespace updater;
using testing_support::FixedClock;
using testing_support::ListFiles;
using testing_support::ReadFileBytes;
using testing_support::RecordingPageView;
using testing_support::ServerFiles;
using testing_support::WriteFileBytes;

// Waits, at most 30 s, until `ready` holds; false when it never did.
bool AwaitUntil(std::mutex& mutex, std::condition_variable& changed,
                const std::function<bool()>& ready) {
  std::unique_lock<std::mutex> lock(mutex);
  return changed.wait_for(lock, std::chrono::seconds(30), ready);
}

constexpr char kServer[] = "http://files.example/v2";

class FileDownload : public ::testing::Test {
 protected:
  FileDownload() {
    testing_support::MakeFolder(program.Child("update"));
    registry.CreateKey("Software\\Morvane\\Reader")
        ->SetValue("Update Website", platform::StringValue(kServer));
  }

  // A manifest of the given version listing the entries as file1, file2 ...
  void Manifest(const std::string& version, const std::vector<std::string>& entries) {
    std::string text = "[main]\r\nversion=" + version +
                       "\r\nfilenum=" + std::to_string(entries.size()) + "\r\n[list]\r\n";
    for (std::size_t i = 0; i < entries.size(); ++i) {
      text += "file" + std::to_string(i + 1) + "=" + entries[i] + "\r\n";
    }
    WriteFileBytes(program.Child("update\\update.ini"), text);
  }
  void Record(const std::string& version, const std::vector<std::string>& entries) {
    std::string text = "[" + version + "]\r\noknum=" + std::to_string(entries.size()) + "\r\n";
    for (std::size_t i = 0; i < entries.size(); ++i) {
      text += "ok" + std::to_string(i + 1) + "=" + entries[i] + "\r\n";
    }
    WriteFileBytes(program.Child("update\\updateok.ini"), text);
  }
  void Publish(const std::string& entry, const std::string& body) {
    server.bodies[std::string(kServer) + "/" + entry] = body;
  }
  std::string Url(const std::string& entry) { return std::string(kServer) + "/" + entry; }
  // The URLs asked for, in any order (files are fetched side by side), and the entries' URLs.
  std::vector<std::string> Requested() {
    std::vector<std::string> urls = server.urls;
    std::sort(urls.begin(), urls.end());
    return urls;
  }
  std::vector<std::string> UrlsOf(const std::vector<std::string>& entries) {
    std::vector<std::string> urls;
    urls.reserve(entries.size());
    for (const std::string& entry : entries) urls.push_back(Url(entry));
    std::sort(urls.begin(), urls.end());
    return urls;
  }

  // The page's run: rows from the manifest, then the worker over their entries.
  void Run() {
    std::vector<std::string> entries;
    for (const FileListRow& row :
         FileListRows(profiles, update, [](const std::string&) { return 0; })) {
      entries.push_back(row.text);
    }
    RunOver(entries);
  }
  // The worker over the given entries, as a page of its own.
  void RunOver(const std::vector<std::string>& entries) {
    state = std::make_shared<PageWorkerState>();
    view = std::make_unique<RecordingPageView>(state);
    FileDownloadWorker(
        Context(storeFiles ? *storeFiles : files, storeProfiles ? *storeProfiles : profiles),
        entries, *view);
  }
  ProgramContext Context(platform::FileSystem& workerFiles, platform::IniFiles& workerProfiles) {
    return testing_support::TestProgram(program.path())
        .Registry(registry)
        .Files(workerFiles)
        .Profiles(workerProfiles)
        .Internet(server)
        .Clock(clock)
        .Log(log)
        .Trust(trust)
        .Context();
  }
  // The log, its milliseconds (not the clock's to choose) written as "_".
  std::string Log() {
    return testing_support::MaskMilliseconds(ReadFileBytes(program.Child("update\\ostrel.log")));
  }
  std::string Stored(const std::string& entry) {
    return ReadFileBytes(program.Child("update\\" + entry));
  }
  std::vector<std::string> Recorded(const std::string& version) {
    std::vector<std::string> entries;
    const int32_t count = profiles.ReadInt(update.record, version, "oknum", 0);
    for (int32_t i = 1; i <= count; ++i) {
      entries.push_back(
          profiles.ReadString(update.record, version, "ok" + std::to_string(i), "", 260));
    }
    return entries;
  }

  testing_support::TempFolder program;
  platform::FileSystem& files = platform::SystemFileSystem();
  platform::IniFiles& profiles = platform::SystemIniFiles();
  UpdateFiles update = LayoutBelow(program.path()).files;
  platform::MemoryRegistry registry;
  ServerFiles server;
  FixedClock clock;
  RunLog log{files, program.Child("update\\"), [] { return std::string("T"); }};
  std::shared_ptr<PageWorkerState> state;
  std::unique_ptr<RecordingPageView> view;
  const TrustContext* trust = nullptr;
  platform::FileSystem* storeFiles = nullptr;   // the worker's, when not the system's
  platform::IniFiles* storeProfiles = nullptr;  // the same
};

TEST_F(FileDownload, FetchesOnlyWhatIsNotRecorded) {
  Manifest("1.0.0.2", {"setup.exe", "core.dll", "readme.txt"});
  Record("1.0.0.2", {"core.dll"});
  Publish("setup.exe", "MZ setup");
  Publish("core.dll", "MZ core");
  Publish("readme.txt", "read me");
  Run();
  EXPECT_EQ(Requested(), UrlsOf({"setup.exe", "readme.txt"}));
  EXPECT_EQ(Stored("setup.exe"), "MZ setup");
  EXPECT_EQ(Stored("readme.txt"), "read me");
  EXPECT_FALSE(files.Exists(program.Child("update\\core.dll")));
  EXPECT_EQ(Recorded("1.0.0.2"), (std::vector<std::string>{"core.dll", "setup.exe", "readme.txt"}));
  EXPECT_EQ(view->Messages(),
            (std::vector<std::string>{
                DownloadStartedText("setup.exe"), DownloadDoneText("setup.exe"),
                DownloadStartedText("readme.txt"), DownloadDoneText("readme.txt")}));
  EXPECT_EQ(state->Outcome(), Outcome::Succeeded);
  EXPECT_EQ(view->Count("timer"), 1u);
}

TEST_F(FileDownload, EverythingRecordedFetchesNothing) {
  Manifest("1.0.0.2", {"setup.exe", "core.dll"});
  Record("1.0.0.2", {"core.dll", "setup.exe"});
  Run();
  EXPECT_TRUE(server.urls.empty());
  EXPECT_TRUE(view->Messages().empty());
  EXPECT_EQ(view->Count("range"), 0u);
  EXPECT_EQ(state->Outcome(), Outcome::Succeeded);
  EXPECT_EQ(view->Count("timer"), 1u);
}

TEST_F(FileDownload, OneFailureDoesNotStopTheOthers) {
  Manifest("1.0.0.2", {"setup.exe", "missing.dll", "readme.txt"});
  Publish("setup.exe", "MZ setup");
  Publish("readme.txt", "read me");
  Run();
  EXPECT_EQ(server.urls.size(), 3u);
  EXPECT_EQ(Recorded("1.0.0.2"), (std::vector<std::string>{"setup.exe", "readme.txt"}));
  EXPECT_FALSE(files.Exists(program.Child("update\\missing.dll")));
  const std::vector<std::string> messages = view->Messages();
  ASSERT_FALSE(messages.empty());
  EXPECT_NE(std::find(messages.begin(), messages.end(), DownloadFailedText("missing.dll")),
            messages.end());
  EXPECT_EQ(messages.back(), DownloadDoneText("readme.txt"));  // the last row's message
  EXPECT_EQ(state->Outcome(), Outcome::Failed);
  EXPECT_EQ(view->Count("timer"), 0u);
}

TEST_F(FileDownload, RowsAreTheEntriesLongerThanFourBytes) {
  WriteFileBytes(program.Child("update\\update.ini"),
                 "[main]\r\nversion=2\r\nfilenum=5\r\n[list]\r\nfile1=a.ex\r\nfile2=b.exe\r\n"
                 "file3=READMETXT\r\nfile5=lib\\c.DLL\r\n");
  std::vector<std::string> keys;
  const std::vector<FileListRow> rows =
      FileListRows(profiles, update, [&keys](const std::string& key) {
        keys.push_back(key);
        return static_cast<int32_t>(keys.size()) + 6;
      });
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(keys, (std::vector<std::string>{".exe", "", ".DLL"}));
  const struct {
    int32_t index;
    const char* text;
    int32_t image;
  } expected[] = {{1, "b.exe", 7}, {2, "READMETXT", 8}, {4, "lib\\c.DLL", 9}};
  for (std::size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(rows[i].index, expected[i].index);
    EXPECT_EQ(rows[i].text, expected[i].text);
    EXPECT_EQ(rows[i].image, expected[i].image);
  }
}

TEST_F(FileDownload, FiveByteEntryIsFetched) {
  Manifest("3", {"a.ex", "b.exe"});
  Publish("b.exe", "b");
  Run();
  EXPECT_EQ(server.urls, std::vector<std::string>{Url("b.exe")});
  EXPECT_EQ(Recorded("3"), std::vector<std::string>{"b.exe"});
  EXPECT_EQ(state->Outcome(), Outcome::Succeeded);
}

TEST_F(FileDownload, OnlyShortEntriesIsAFailure) {
  Manifest("3", {"a.ex", "b.dl"});
  Run();
  EXPECT_TRUE(server.urls.empty());
  EXPECT_EQ(state->Outcome(), Outcome::Failed);
  EXPECT_EQ(view->Count("timer"), 0u);
}

TEST_F(FileDownload, SameNameTwiceIsFetchedOnce) {
  Manifest("3", {"same.dll", "SAME.dll"});
  Publish("same.dll", "x");
  Run();
  EXPECT_EQ(server.urls, std::vector<std::string>{Url("same.dll")});
  EXPECT_EQ(Recorded("3"), std::vector<std::string>{"same.dll"});
  EXPECT_EQ(state->Outcome(), Outcome::Succeeded);
}

TEST_F(FileDownload, RecordEntryInOtherLetterCaseCounts) {
  Manifest("3", {"Setup.exe"});
  Record("3", {"SETUP.EXE"});
  Run();
  EXPECT_TRUE(server.urls.empty());
  EXPECT_EQ(state->Outcome(), Outcome::Succeeded);
}

TEST_F(FileDownload, NewVersionFetchesAgainUnderANewSection) {
  Manifest("1.0.0.3", {"setup.exe"});
  Record("1.0.0.2", {"setup.exe"});
  Publish("setup.exe", "new");
  Run();
  EXPECT_EQ(server.urls, std::vector<std::string>{Url("setup.exe")});
  EXPECT_EQ(Recorded("1.0.0.3"), std::vector<std::string>{"setup.exe"});
  EXPECT_EQ(Recorded("1.0.0.2"), std::vector<std::string>{"setup.exe"});
  EXPECT_EQ(Stored("setup.exe"), "new");
}

TEST_F(FileDownload, EmptyVersionNeverCountsAFileAsDone) {
  Manifest("", {"setup.exe"});
  Publish("setup.exe", "x");
  Run();
  EXPECT_EQ(state->Outcome(), Outcome::Succeeded);
  RunOver({"setup.exe"});
  EXPECT_EQ(server.urls.size(), 2u);  // fetched again
  EXPECT_EQ(Recorded(""), (std::vector<std::string>{"setup.exe", "setup.exe"}));
  EXPECT_EQ(state->Outcome(), Outcome::Succeeded);
}

TEST_F(FileDownload, InterruptedRunResumesWithTheRest) {
  const std::vector<std::string> entries = {"one.dll", "two.dll", "three.dll", "four.dll"};
  Manifest("5", entries);
  Publish("one.dll", "1");
  Publish("two.dll", "2");
  Run();  // the server stops answering after two files
  EXPECT_EQ(state->Outcome(), Outcome::Failed);
  server.urls.clear();
  Publish("three.dll", "3");
  Publish("four.dll", "4");
  RunOver(entries);
  EXPECT_EQ(Requested(), UrlsOf({"three.dll", "four.dll"}));
  EXPECT_EQ(Recorded("5"),
            (std::vector<std::string>{"one.dll", "two.dll", "three.dll", "four.dll"}));
  EXPECT_EQ(state->Outcome(), Outcome::Succeeded);
}

// The record is kept in memory, but every stored file is in updateok.ini as soon as its fetch
// and the files before it are through: a run cut off at any moment loses nothing it stored. By
// the time a request reads, the record holds a prefix of the entries, and at most
// kEntriesAhead entries are on their way beyond it; none waits for the end of the run.
TEST_F(FileDownload, EachStoredFileIsRecordedInOrderWhileOthersAreFetched) {
  std::vector<std::string> entries(12);
  for (std::size_t i = 0; i < entries.size(); ++i) entries[i] = "file" + std::to_string(i) + ".dll";
  Manifest("6", entries);
  for (const std::string& entry : entries) Publish(entry, entry);
  std::vector<std::vector<std::string>> recordedAtEachRead;
  server.onRead = [&] {
    std::lock_guard<std::mutex> lock(server.mutex);  // reads are counted in the order seen
    std::vector<std::string> recorded = Recorded("6");
    // Read between the record's two writes (the count, then the name): the name is not there yet.
    if (!recorded.empty() && recorded.back().empty()) recorded.pop_back();
    recordedAtEachRead.push_back(std::move(recorded));
  };
  Run();
  server.onRead = nullptr;
  ASSERT_EQ(recordedAtEachRead.size(), entries.size());
  for (std::size_t read = 0; read < entries.size(); ++read) {
    SCOPED_TRACE(read);
    const std::vector<std::string>& recorded = recordedAtEachRead[read];
    EXPECT_LT(read, recorded.size() + kEntriesAhead);
    EXPECT_LE(recorded.size(), read);
    EXPECT_TRUE(std::equal(recorded.begin(), recorded.end(), entries.begin()));
  }
  EXPECT_EQ(Recorded("6"), entries);
  EXPECT_LE(server.sessions, static_cast<int>(kFetchesInFlight));  // a session per fetch at once
}

// The first file's body waits until three later ones are being read, so they are fetched at
// the same time and end before it; the page still shows and logs one entry after another, with
// the bar and the byte count of the earliest unfinished one only. A failure among them fails
// the page and nothing else.
TEST_F(FileDownload, ConcurrentFetchesShowAndLogTheEntriesInOrder) {
  const std::vector<std::string> entries = {"one.dll", "two.dll", "three.dll", "four.dll",
                                            "five.dll"};
  const struct {
    const char* what;
    std::set<std::string> cut;  // bodies that end 10 bytes short of the announced length
  } rows[] = {
      {"all arrive", {}},
      {"the first, held, is cut", {"one.dll"}},
      {"two of the later ones are cut", {"two.dll", "five.dll"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    testing_support::RemoveFile(update.record);
    testing_support::RemoveFile(program.Child("update\\ostrel.log"));
    Manifest("5", entries);
    server.announced.clear();
    std::mutex mutex;
    std::condition_variable changed;
    std::set<std::string> reading;
    bool overlapped = true;
    server.beforeRead = [&](const std::string& url) {
      if (url != Url("one.dll")) {
        {
          std::lock_guard<std::mutex> lock(mutex);
          reading.insert(url);
        }
        changed.notify_all();
        return;
      }
      if (!AwaitUntil(mutex, changed, [&] { return reading.size() >= 3; })) overlapped = false;
    };
    std::vector<std::string> shown;
    std::string log;
    std::vector<std::string> recorded;
    std::size_t failed = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      const std::string& entry = entries[i];
      const std::size_t size = 100 * (i + 1);
      Publish(entry, std::string(size, static_cast<char>('a' + i)));
      const bool cut = row.cut.count(entry) > 0;
      const std::size_t length = size + (cut ? 10 : 0);
      if (cut) server.announced[Url(entry)] = static_cast<int64_t>(length);
      const std::string sizes = std::to_string(length) + ", received " + std::to_string(size);
      shown.insert(shown.end(),
                   {"message " + DownloadStartedText(entry), "range " + std::to_string(length),
                    "pos " + std::to_string(size),
                    "message " + (cut ? DownloadFailedText(entry) : DownloadDoneText(entry))});
      log += "T GET " + Url(entry) + ": status 200, length " + sizes + ", _ ms, error 0: " +
             (cut ? "body ended before the announced length\r\n"
                  : "complete\r\nT stored " + entry + ", " + std::to_string(size) + " bytes\r\n");
      if (cut) ++failed;
      if (!cut) recorded.push_back(entry);
    }
    log += "T file list: 5 entries, 0 recorded before, " + std::to_string(failed) + " failed\r\n";
    Run();
    server.beforeRead = nullptr;
    EXPECT_TRUE(overlapped) << "the later files were not fetched while the first waited";
    EXPECT_EQ(view->Calls({"range", "pos", "message"}), shown);
    EXPECT_EQ(Log(), log);
    EXPECT_EQ(Recorded("5"), recorded);
    EXPECT_EQ(state->Outcome(), failed > 0 ? Outcome::Failed : Outcome::Succeeded);
    EXPECT_EQ(view->Count("timer"), failed > 0 ? 0u : 1u);
  }
}

// Two entries that name one file (letter case, '/' for '\\') are never fetched at once: the
// later one waits until the earlier is through, and the record decides for it.
TEST_F(FileDownload, EntriesNamingOneFileAreNeverFetchedTogether) {
  const struct {
    std::vector<std::string> entries;
    std::vector<std::string> requested;  // and published
    std::vector<std::string> recorded;
  } rows[] = {
      {{"big.dll", "other.dll", "BIG.DLL"}, {"big.dll", "other.dll"}, {"big.dll", "other.dll"}},
      // The record folds letter case only: the later entry is fetched again, after the first.
      {{"sub/x.dll", "SUB\\x.dll"}, {"sub/x.dll", "SUB\\x.dll"}, {"sub/x.dll", "SUB\\x.dll"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.entries.front());
    server.urls.clear();
    testing_support::RemoveFile(update.record);
    Manifest("4", row.entries);
    for (const std::string& entry : row.requested) Publish(entry, std::string(200000, 'x'));
    // Whenever a file's body is read, every earlier entry naming it is through.
    const auto sameFile = [](std::string name) {
      std::replace(name.begin(), name.end(), '/', '\\');
      return platform::ToLowerAscii(name);
    };
    std::vector<std::string> unfinishedTwins;
    server.beforeRead = [&](const std::string& url) {
      const std::vector<std::string> recorded = Recorded("4");
      for (std::size_t i = 0; i < row.entries.size() && Url(row.entries[i]) != url; ++i) {
        if (sameFile(Url(row.entries[i])) == sameFile(url) &&
            std::find(recorded.begin(), recorded.end(), row.entries[i]) == recorded.end()) {
          std::lock_guard<std::mutex> lock(server.mutex);
          unfinishedTwins.push_back(row.entries[i] + " before " + url);
        }
      }
    };
    Run();
    server.beforeRead = nullptr;
    EXPECT_EQ(Requested(), UrlsOf(row.requested));
    EXPECT_EQ(Recorded("4"), row.recorded);
    EXPECT_TRUE(unfinishedTwins.empty()) << unfinishedTwins.front();
    EXPECT_EQ(state->Outcome(), Outcome::Succeeded);
  }
}

// The page's cancel ends every fetch in flight, each through its own session, and stores nothing.
TEST_F(FileDownload, CancelReachesEveryFetch) {
  std::vector<std::string> entries;
  for (int i = 0; i < 6; ++i) {
    entries.push_back("held" + std::to_string(i) + ".bin");
    Publish(entries.back(), "body");
    server.held.insert(Url(entries.back()));
  }
  Manifest("3", entries);
  server.onHeld = [this](int held) {
    if (held == static_cast<int>(kFetchesInFlight)) state->Cancel();
  };
  Run();
  server.onHeld = nullptr;
  EXPECT_EQ(server.mostHeld, static_cast<int>(kFetchesInFlight));  // all of them in flight
  EXPECT_EQ(server.heldUncancelled, 0);  // every wait ended by its own session's cancel
  EXPECT_EQ(server.urls.size(), kFetchesInFlight);
  EXPECT_TRUE(Recorded("3").empty());
  EXPECT_EQ(state->Outcome(), Outcome::Cancelled);
}

// INI files that count the reads of one file.
class CountingProfiles final : public platform::IniFiles {
 public:
  CountingProfiles(platform::IniFiles& inner, std::string counted)
      : inner_(inner), counted_(std::move(counted)) {}
  std::string ReadString(const std::string& file, const std::string& section,
                         const std::string& key, const std::string& defaultValue,
                         std::size_t size) override {
    Count(file);
    return inner_.ReadString(file, section, key, defaultValue, size);
  }
  int32_t ReadInt(const std::string& file, const std::string& section, const std::string& key,
                  int32_t defaultValue) override {
    Count(file);
    return inner_.ReadInt(file, section, key, defaultValue);
  }
  bool WriteString(const std::string& file, const std::string& section, const std::string& key,
                   const std::string& value) override {
    return inner_.WriteString(file, section, key, value);
  }
  std::vector<std::pair<std::string, std::string>> ReadSection(const std::string& file,
                                                               const std::string& section,
                                                               std::size_t size) override {
    Count(file);
    return inner_.ReadSection(file, section, size);
  }
  int reads = 0;

 private:
  void Count(const std::string& file) { reads += file == counted_ ? 1 : 0; }
  platform::IniFiles& inner_;
  std::string counted_;
};

TEST_F(FileDownload, TheRecordIsReadOncePerRun) {
  std::vector<std::string> entries(50);
  for (std::size_t i = 0; i < entries.size(); ++i) entries[i] = "file" + std::to_string(i) + ".dll";
  Manifest("8", entries);
  Record("8", entries);
  CountingProfiles counting(profiles, update.record);
  state = std::make_shared<PageWorkerState>();
  view = std::make_unique<RecordingPageView>(state);
  FileDownloadWorker(Context(files, counting), entries, *view);
  EXPECT_EQ(state->Outcome(), Outcome::Succeeded);
  EXPECT_TRUE(server.urls.empty());
  EXPECT_LE(counting.reads, 2);  // the count and the section, once; not once an entry
}

TEST_F(FileDownload, FileThatCannotBeStoredIsNotRecorded) {
  // update\core.dll is a folder: the file is fetched but cannot be stored.
  testing_support::MakeFolder(program.Child("update\\core.dll"));
  Manifest("7", {"core.dll", "fine.txt"});
  Publish("core.dll", "data");
  Publish("fine.txt", "fine");
  Run();
  EXPECT_EQ(Recorded("7"), std::vector<std::string>{"fine.txt"});
  const std::vector<std::string> messages = view->Messages();
  EXPECT_NE(std::find(messages.begin(), messages.end(), DownloadFailedText("core.dll")),
            messages.end());
  EXPECT_EQ(state->Outcome(), Outcome::Failed);
  for (const std::string& file : ListFiles(program.path())) {
    EXPECT_EQ(file.find(".partial"), std::string::npos) << file;
  }
  EXPECT_NE(Log().find("T not stored core.dll: write failed, error "), std::string::npos) << Log();
}

TEST_F(FileDownload, NewFoldersAreCreatedBelowUpdate) {
  testing_support::MakeFolder(program.Child("update\\sub"));
  Manifest("7", {"sub\\b.dll", "books\\new/catalog.txt"});
  Publish("sub\\b.dll", "in sub");
  Publish("books\\new/catalog.txt", "catalog");
  Run();
  EXPECT_EQ(Stored("sub\\b.dll"), "in sub");
  EXPECT_EQ(Stored("books\\new\\catalog.txt"), "catalog");
  EXPECT_EQ(Recorded("7"), (std::vector<std::string>{"sub\\b.dll", "books\\new/catalog.txt"}));
  EXPECT_EQ(state->Outcome(), Outcome::Succeeded);
}

// A file system that records the folders it is asked to create and creates none.
class FolderRecorder final : public testing_support::InertFileSystem {
 public:
  platform::CreateFolderResult CreateFolder(const std::string& path) override {
    created.push_back(path);
    return path.find("taken") != std::string::npos ? platform::CreateFolderResult::kFailed
                                                   : platform::CreateFolderResult::kCreated;
  }
  std::vector<std::string> created;
};

TEST(CreateEntryFolders, OneLevelAtATimeAndNeverOutsideUpdate) {
  const struct {
    const char* entry;
    bool result;
    std::vector<std::string> created;  // below U:\update\, in order
  } rows[] = {
      {"setup.exe", true, {}},
      {"books\\catalog.txt", true, {"books"}},
      {"books\\new/deeper\\a.txt", true, {"books", "books\\new", "books\\new/deeper"}},
      // A GBK character whose trail byte is 0x5C is no separator.
      {"\x95\\\\a.txt", true, {"\x95\\"}},
      {"\x95/a.txt", true, {"\x95"}},         // '/' is no trail byte: a separator
      {"taken\\x\\a.txt", false, {"taken"}},  // stops at the folder that could not be made
      {"..\\evil\\a.txt", false, {}},
      {"books\\..\\..\\evil\\a.txt", false, {}},
      {"C:\\evil\\a.txt", false, {}},
      {"\\evil\\a.txt", false, {}},
      {"CON\\a.txt", false, {}},
      {"books\\a.txt.partial", false, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.entry);
    FolderRecorder files;
    RunLog log;
    EXPECT_EQ(CreateEntryFolders(files, "U:\\update\\", row.entry, log), row.result);
    std::vector<std::string> expected;
    for (const std::string& folder : row.created) expected.push_back("U:\\update\\" + folder);
    EXPECT_EQ(files.created, expected);
  }
}

TEST_F(FileDownload, HostileEntriesAreRefusedWithoutARequest) {
  const char* const hostile[] = {
      "..\\evil.txt", "..\\..\\evil.txt", "sub\\..\\..\\evil.txt",
      "\\evil.txt",   "/evil.txt",        "C:\\evil.txt",
      "c:evil.txt",   "good.txt:stream",  "CON",
      "con.txt",      "sub\\NUL.dll",     "LPT1",
      "COM9.log",     ".\\.\\x.dll",      "...\\x.dll",
      "update.ini",   "UPDATEOK.INI",     "sub\\Update.Ini",
      "../evil.txt",  "good.txt.partial", "sub\\x.PARTIAL.",
      "ostrel.log",   "OSTREL.LOG.1",
  };
  for (const char* entry : hostile) {
    SCOPED_TRACE(entry);
    server.urls.clear();
    Manifest("9", {entry, "good.txt"});
    Publish(entry, "evil");
    Publish("good.txt", "good");
    testing_support::RemoveFile(update.record);
    testing_support::RemoveFile(program.Child("update\\good.txt"));
    testing_support::RemoveFile(program.Child("update\\ostrel.log"));
    RunOver({entry, "good.txt"});
    EXPECT_EQ(server.urls, std::vector<std::string>{Url("good.txt")});
    EXPECT_EQ(view->Messages().front(), DownloadFailedText(entry));
    EXPECT_EQ(Recorded("9"), std::vector<std::string>{"good.txt"});
    EXPECT_EQ(ListFiles(program.path()),
              (std::vector<std::string>{"update\\good.txt", "update\\ostrel.log",
                                        "update\\update.ini", "update\\updateok.ini"}));
    EXPECT_EQ(state->Outcome(), Outcome::Failed);
  }
}

TEST_F(FileDownload, RecordCannotMakeAHostileEntryCountAsDone) {
  Manifest("9", {"..\\evil.txt"});
  Record("9", {"..\\evil.txt"});
  Run();
  EXPECT_EQ(view->Messages(), std::vector<std::string>{DownloadFailedText("..\\evil.txt")});
  EXPECT_EQ(state->Outcome(), Outcome::Failed);
}

TEST_F(FileDownload, TheLogSaysWhichFileFailedAndHow) {
  Manifest("3", {"gone.dll", "cut.dll", "..\\evil.txt", "fine.txt"});
  Publish("gone.dll", "<html>not found</html>");
  server.statuses[Url("gone.dll")] = 404;
  Publish("cut.dll", "0123456789");
  server.announced[Url("cut.dll")] = 100;
  Publish("fine.txt", "fine");
  Run();
  const std::string base = std::string("T GET ") + kServer;
  EXPECT_EQ(Log(),
            base +
                "/gone.dll: status 404, length 22, received 0, _ ms, error 0: refused: not a "
                "2xx answer\r\n" +
                base +
                "/cut.dll: status 200, length 100, received 10, _ ms, error 0: body ended "
                "before the announced length\r\n"
                "T refused ..\\evil.txt: it would reach outside update\\, name a device, or "
                "overwrite the manifest, the record, the log or a temporary file\r\n" +
                base +
                "/fine.txt: status 200, length 4, received 4, _ ms, error 0: complete\r\n"
                "T stored fine.txt, 4 bytes\r\n"
                "T file list: 4 entries, 0 recorded before, 3 failed\r\n");
}

TEST_F(FileDownload, LoopStopsOnceThePageHasEnded) {
  const struct {
    const char* what;
    std::function<void(PageWorkerState&)> during;
    Outcome outcome;
  } cases[] = {
      {"page ended", [](PageWorkerState& s) { s.Detach(); }, Outcome::Pending},
      {"cancel pressed", [](PageWorkerState& s) { s.Cancel(); }, Outcome::Cancelled},
  };
  std::vector<std::string> entries = {"one.dll"};
  for (int i = 2; i <= 12; ++i) entries.push_back("file" + std::to_string(i) + ".dll");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    server.urls.clear();
    testing_support::RemoveFile(update.record);
    Manifest("4", entries);
    for (const std::string& entry : entries) Publish(entry, entry);
    Publish("one.dll", std::string(5000, '1'));
    server.beforeRead = [&](const std::string& url) {
      if (url == Url("one.dll")) c.during(*state);
    };
    RunOver(entries);
    server.beforeRead = nullptr;
    // The fetches already on their way end; no later entry is asked for.
    EXPECT_NE(std::find(server.urls.begin(), server.urls.end(), Url("one.dll")), server.urls.end());
    for (std::size_t i = kEntriesAhead; i < entries.size(); ++i) {
      EXPECT_EQ(std::find(server.urls.begin(), server.urls.end(), Url(entries[i])),
                server.urls.end());
    }
    // The first arrived whole in its one read: stored and recorded even so
    // (ACancelKeepsWhatArrived); any other that arrived whole before the cancel follows it in
    // the entries' order.
    const std::vector<std::string> recorded = Recorded("4");
    ASSERT_FALSE(recorded.empty());
    EXPECT_EQ(recorded[0], "one.dll");
    auto next = entries.begin();
    for (const std::string& name : recorded) {
      next = std::find(next, entries.begin() + kEntriesAhead, name);
      ASSERT_NE(next, entries.begin() + kEntriesAhead) << name << " out of order or too far";
      ++next;
    }
    EXPECT_EQ(state->Outcome(), c.outcome);
  }
}

TEST_F(FileDownload, NoServerConfigured) {
  registry.DeleteTree("Software\\Morvane\\Reader");
  Manifest("4", {"one.dll"});
  Run();
  EXPECT_EQ(server.urls, std::vector<std::string>{"/one.dll"});
  EXPECT_EQ(state->Outcome(), Outcome::Failed);
}

TEST_F(FileDownload, WithASignedManifestOnlyThePromisedBytesAreStored) {
  testing_support::FakeSignatures crypto;
  const TrustSettings settings{{testing_support::kKeyA}};
  std::vector<std::string> refusals;
  testing_support::MemoryMark mark;
  const TrustContext context{settings, crypto, mark,
                             [&refusals](const std::string& line) { refusals.push_back(line); }};
  trust = &context;
  WriteFileBytes(
      program.Child("update\\update.ini"),
      testing_support::ManifestWithPromises(
          crypto, testing_support::kKeyA, "1.0.0.2",
          {{"setup.exe", "MZ setup"}, {"core.dll", "MZ core"}, {"readme.txt", "read me"}}));
  Publish("setup.exe", "MZ setup");
  Publish("core.dll", "MZ c0re");     // one byte changed
  Publish("readme.txt", "read me!");  // one byte more: refused before its body is read
  Run();
  EXPECT_EQ(ListFiles(program.Child("update")),
            (std::vector<std::string>{"ostrel.log", "setup.exe", "update.ini", "updateok.ini"}));
  EXPECT_EQ(Recorded("1.0.0.2"), std::vector<std::string>{"setup.exe"});
  EXPECT_EQ(refusals, (std::vector<std::string>{
                          "fetched file core.dll not stored: its SHA-256 is not the one the "
                          "signed manifest promises"}));
  EXPECT_NE(Log().find("/readme.txt: status 200, length 8, received 0, _ ms, error 0: refused: "
                       "not the size the signed manifest promises"),
            std::string::npos)
      << Log();
  EXPECT_EQ(view->Messages().back(), DownloadFailedText("readme.txt"));
  EXPECT_EQ(state->Outcome(), Outcome::Failed);
}

// The system's file system, but for the failures a test asks of it.
class FailingFileSystem final : public platform::FileSystem {
 public:
  enum class Fault { kNone, kOpenFails, kWriteThrows, kFlushThrows, kRenameFails };
  explicit FailingFileSystem(Fault fault) : fault_(fault) {}

  bool Exists(const std::string& path) override { return inner_.Exists(path); }
  platform::CreateFolderResult CreateFolder(const std::string& path) override {
    return inner_.CreateFolder(path);
  }
  bool WriteWholeFile(const std::string& path, std::string_view data,
                      platform::Durability durability) override {
    return inner_.WriteWholeFile(path, data, durability);
  }
  std::optional<uint64_t> FileSize(const std::string& path) override {
    return inner_.FileSize(path);
  }
  bool RemoveFile(const std::string& path) override { return inner_.RemoveFile(path); }
  bool RenameReplacing(const std::string& from, const std::string& to) override {
    return fault_ != Fault::kRenameFails && inner_.RenameReplacing(from, to);
  }
  bool AppendToFile(const std::string& path, std::string_view data) override {
    return inner_.AppendToFile(path, data);  // the log
  }
  bool ReadFileInPieces(const std::string& path,
                        const std::function<bool(std::string_view)>& consume) override {
    return inner_.ReadFileInPieces(path, [&](std::string_view piece) {
      if (onPiece && path.size() >= piecesOf.size() &&
          path.compare(path.size() - piecesOf.size(), piecesOf.size(), piecesOf) == 0) {
        onPiece();
      }
      return consume(piece);
    });
  }
  std::unique_ptr<platform::FileWriter> OpenForWriting(const std::string& path,
                                                       bool atEnd) override {
    if (fault_ == Fault::kOpenFails) return nullptr;
    return std::make_unique<Writer>(inner_.OpenForWriting(path, atEnd), *this);
  }

  // Run before each flush, and before each piece read of a file whose path ends in `piecesOf`.
  std::function<void()> onFlush;
  std::function<void()> onPiece;
  std::string piecesOf;

 private:
  struct Writer final : platform::FileWriter {
    Writer(std::unique_ptr<platform::FileWriter> inner, FailingFileSystem& owner)
        : inner(std::move(inner)), owner(owner) {}
    bool Write(std::string_view data) override {
      if (owner.fault_ == Fault::kWriteThrows) throw std::bad_alloc();
      return inner->Write(data);
    }
    bool Flush() override {
      if (owner.fault_ == Fault::kFlushThrows) throw std::bad_alloc();
      if (owner.onFlush) owner.onFlush();
      return inner->Flush();
    }
    bool Close() override { return inner->Close(); }
    std::unique_ptr<platform::FileWriter> inner;
    FailingFileSystem& owner;
  };
  Fault fault_;
  platform::FileSystem& inner_ = platform::SystemFileSystem();
};

// The system's profile routines, but no record can be written.
class RecordRefusingProfiles final : public platform::IniFiles {
 public:
  std::string ReadString(const std::string& file, const std::string& section,
                         const std::string& key, const std::string& defaultValue,
                         std::size_t size) override {
    return inner_.ReadString(file, section, key, defaultValue, size);
  }
  int32_t ReadInt(const std::string& file, const std::string& section, const std::string& key,
                  int32_t defaultValue) override {
    return inner_.ReadInt(file, section, key, defaultValue);
  }
  bool WriteString(const std::string&, const std::string&, const std::string&,
                   const std::string&) override {
    return false;
  }
  std::vector<std::pair<std::string, std::string>> ReadSection(const std::string& file,
                                                               const std::string& section,
                                                               std::size_t size) override {
    return inner_.ReadSection(file, section, size);
  }

 private:
  platform::IniFiles& inner_ = platform::SystemIniFiles();
};

// Whatever fails or throws while a file is stored or recorded fails that file and the page.
TEST_F(FileDownload, AFailedStoreIsNeverASuccess) {
  using Fault = FailingFileSystem::Fault;
  const struct {
    const char* what;
    Fault fault;
    bool recordRefused;
  } cases[] = {
      {"open fails", Fault::kOpenFails, false},     {"write throws", Fault::kWriteThrows, false},
      {"flush throws", Fault::kFlushThrows, false}, {"rename fails", Fault::kRenameFails, false},
      {"record refused", Fault::kNone, true},
  };
  RecordRefusingProfiles refusingProfiles;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FailingFileSystem failing(c.fault);
    storeFiles = &failing;
    storeProfiles = c.recordRefused ? &refusingProfiles : nullptr;
    testing_support::RemoveFile(update.record);
    Manifest("5", {"big.bin", "b.dll"});
    Publish("big.bin", std::string(200000, 'x'));
    Publish("b.dll", "b");
    Run();
    EXPECT_EQ(state->Outcome(), Outcome::Failed);
    EXPECT_EQ(view->Count("timer"), 0u);
    EXPECT_TRUE(Recorded("5").empty());
    EXPECT_EQ(view->Messages().back(), DownloadFailedText("b.dll"));
    EXPECT_NE(Log().find("T file list: 2 entries, 0 recorded before, 2 failed"), std::string::npos)
        << Log();
  }
}

// A cut transfer leaves its part and the answer's validator; the next run asks for the rest
// and stores the file whole, byte for byte.
TEST_F(FileDownload, CutFileContinuesWhereItStopped) {
  std::string body;
  for (int i = 0; i < 100000; ++i) body += static_cast<char>('a' + i % 23);
  Manifest("6", {"setup.exe"});
  Publish("setup.exe", body.substr(0, 70000));
  server.announced[Url("setup.exe")] = static_cast<int64_t>(body.size());
  server.etags[Url("setup.exe")] = "\"v6\"";
  Run();
  EXPECT_EQ(state->Outcome(), Outcome::Failed);
  EXPECT_EQ(ReadFileBytes(program.Child("update\\setup.exe.partial")).size(), 70000u);

  server.announced.clear();
  Publish("setup.exe", body);
  Run();
  EXPECT_EQ(server.ranges, (std::vector<uint64_t>{0, 70000}));
  EXPECT_EQ(Stored("setup.exe"), body);
  EXPECT_EQ(Recorded("6"), std::vector<std::string>{"setup.exe"});
  EXPECT_EQ(ListFiles(program.Child("update")),
            (std::vector<std::string>{"ostrel.log", "setup.exe", "update.ini", "updateok.ini"}));
}

// A kept part that is not the start of the promised file: the signed SHA-256 refuses the
// continued file, which is then fetched whole once more.
TEST_F(FileDownload, WrongKeptPartIsFetchedWholeOnceMore) {
  testing_support::FakeSignatures crypto;
  const TrustSettings settings{{testing_support::kKeyA}};
  testing_support::MemoryMark mark;
  const TrustContext context{settings, crypto, mark, [](const std::string&) {}};
  trust = &context;
  WriteFileBytes(program.Child("update\\update.ini"),
                 testing_support::ManifestWithPromises(crypto, testing_support::kKeyA, "7",
                                                       {{"setup.exe", "MZ the installer"}}));
  WriteFileBytes(program.Child("update\\setup.exe.partial"), "XX t");
  WriteFileBytes(program.Child("update\\setup.exe.partial.partial"), "\"v7\"");
  Publish("setup.exe", "MZ the installer");
  server.etags[Url("setup.exe")] = "\"v7\"";
  Run();
  EXPECT_EQ(server.ranges, (std::vector<uint64_t>{4, 0}));
  EXPECT_EQ(Stored("setup.exe"), "MZ the installer");
  EXPECT_EQ(Recorded("7"), std::vector<std::string>{"setup.exe"});
  EXPECT_EQ(state->Outcome(), Outcome::Succeeded);
}

TEST_F(FileDownload, PartsOfListedFilesAreContinued) {
  Manifest("8", {"setup.exe", "Sub/b.dll", "..\\evil.dll"});
  const auto continued = ContinuedPartials(profiles, update);
  const struct {
    const char* relative;
    bool kept;
  } cases[] = {
      {"setup.exe.partial", true},  {"SETUP.EXE.partial.partial", true},
      {"sub\\b.dll.partial", true}, {"setup.exe.partial.partial.partial", false},
      {"other.dll.partial", false}, {"..\\evil.dll.partial", false},
  };
  for (const auto& c : cases) EXPECT_EQ(continued(c.relative), c.kept) << c.relative;
}

// A cancel, or the page's end, at the worst moments of a large file: a body that arrived whole
// is still stored and recorded (the page does not wait for it); one cut while its kept part is
// read back leaves that part and its validator as they were, for the next run.
TEST_F(FileDownload, ACancelKeepsWhatArrived) {
  const struct {
    const char* what;
    bool duringFlush;  // else during the body's last read
    bool endPage;      // else the cancel button
  } cases[] = {
      {"cancel during the last read", false, false},
      {"page ended during the last read", false, true},
      {"cancel during the flush", true, false},
      {"page ended during the flush", true, true},
  };
  const std::string body(100000, 'x');  // two reads
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FailingFileSystem hooked(FailingFileSystem::Fault::kNone);
    storeFiles = &hooked;
    testing_support::RemoveFile(update.record);
    testing_support::RemoveFile(program.Child("update\\big.bin"));
    Manifest("9", {"big.bin"});
    Publish("big.bin", body);
    const auto stop = [&] { c.endPage ? static_cast<void>(state->Detach()) : state->Cancel(); };
    int reads = 0;
    server.onRead = [&] {
      if (!c.duringFlush && ++reads == 2) stop();
    };
    hooked.onFlush = [&] {
      if (c.duringFlush) stop();
    };
    Run();
    server.onRead = nullptr;
    EXPECT_EQ(Stored("big.bin"), body);
    EXPECT_EQ(Recorded("9"), std::vector<std::string>{"big.bin"});
    EXPECT_EQ(state->Outcome(), c.endPage ? Outcome::Pending : Outcome::Cancelled);
  }
}

TEST_F(FileDownload, ACancelWhileTheKeptPartIsReadBackKeepsIt) {
  testing_support::FakeSignatures crypto;
  const TrustSettings settings{{testing_support::kKeyA}};
  testing_support::MemoryMark mark;
  const TrustContext context{settings, crypto, mark, [](const std::string&) {}};
  trust = &context;
  const std::string body(200000, 'y');
  WriteFileBytes(program.Child("update\\update.ini"),
                 testing_support::ManifestWithPromises(crypto, testing_support::kKeyA, "7",
                                                       {{"setup.exe", body}}));
  WriteFileBytes(program.Child("update\\setup.exe.partial"), body.substr(0, 150000));
  WriteFileBytes(program.Child("update\\setup.exe.partial.partial"), "\"v7\"");
  Publish("setup.exe", body);
  server.etags[Url("setup.exe")] = "\"v7\"";
  FailingFileSystem hooked(FailingFileSystem::Fault::kNone);
  int pieces = 0;  // of the kept part, read back to be hashed
  hooked.piecesOf = "\\setup.exe.partial";
  hooked.onPiece = [&] {
    ++pieces;
    state->Cancel();
  };
  storeFiles = &hooked;
  Run();
  EXPECT_EQ(server.ranges, std::vector<uint64_t>{150000});
  EXPECT_EQ(pieces, 1);
  EXPECT_EQ(ReadFileBytes(program.Child("update\\setup.exe.partial")), body.substr(0, 150000));
  EXPECT_EQ(ReadFileBytes(program.Child("update\\setup.exe.partial.partial")), "\"v7\"");
  EXPECT_TRUE(Recorded("7").empty());
  EXPECT_EQ(state->Outcome(), Outcome::Cancelled);
}

}  // namespace
