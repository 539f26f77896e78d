// The file-list page's rules without windows: the rows it lists and its worker's download,
// store and record loop, over a scripted server and a program folder of its own.
#include "pages/file_download.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>

#include "pages/manifest_download.h"
#include "platform/memory_registry.h"
#include "settings/registry_values.h"
#include "settings/server_list.h"
#include "support/fake_server.h"
#include "support/fake_signatures.h"
#include "support/program_files.h"
#include "support/temp_folder.h"

namespace {

using namespace ostrel;
using testing_support::FixedClock;
using testing_support::ListFiles;
using testing_support::ReadFileBytes;
using testing_support::ServerFiles;
using testing_support::WriteFileBytes;

// The list view's rows and what reached the page's other windows.
class ListView final : public PageView {
 public:
  using PageView::PageView;
  std::vector<std::string> rows;
  std::vector<std::string> messages;
  int ranges = 0;
  int timers = 0;

 protected:
  void DoSetRange(int32_t) override { ++ranges; }
  void DoSetPosition(int32_t) override {}
  void DoSetStatusText(const std::string&) override {}
  void DoSetMessageText(const std::string& text) override { messages.push_back(text); }
  void DoRequestEndTimer() override { ++timers; }
  int32_t DoRowCount() override { return static_cast<int32_t>(rows.size()); }
  std::string DoRowText(int32_t row) override { return rows.at(static_cast<std::size_t>(row)); }
};

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

  // The page's run: rows from the manifest, then the worker.
  void Run() {
    view.rows.clear();
    for (const FileListRow& row :
         FileListRows(profiles, update, [](const std::string&) { return 0; })) {
      view.rows.push_back(row.text);
    }
    HttpFetcher fetcher(server, clock);
    FileDownloadWorker({registry, files, profiles, fetcher, trust}, view);
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
  testing_support::ProgramFiles files{program.Child("Ostrel.exe")};
  platform::ProfileStore& profiles = platform::SystemProfileStore();
  UpdateFiles update = UpdateFiles::In(program.path());
  platform::MemoryRegistry registry;
  ServerFiles server;
  FixedClock clock;
  std::shared_ptr<PageWorkerState> state = std::make_shared<PageWorkerState>();
  ListView view{state};
  const TrustContext* trust = nullptr;
};

TEST_F(FileDownload, FetchesOnlyWhatIsNotRecorded) {
  Manifest("1.0.0.2", {"setup.exe", "core.dll", "readme.txt"});
  Record("1.0.0.2", {"core.dll"});
  Publish("setup.exe", "MZ setup");
  Publish("core.dll", "MZ core");
  Publish("readme.txt", "read me");
  Run();
  EXPECT_EQ(server.urls, (std::vector<std::string>{Url("setup.exe"), Url("readme.txt")}));
  EXPECT_EQ(Stored("setup.exe"), "MZ setup");
  EXPECT_EQ(Stored("readme.txt"), "read me");
  EXPECT_FALSE(files.Exists(program.Child("update\\core.dll")));
  EXPECT_EQ(Recorded("1.0.0.2"), (std::vector<std::string>{"core.dll", "setup.exe", "readme.txt"}));
  EXPECT_EQ(view.messages, (std::vector<std::string>{
                               DownloadStartedText("setup.exe"), DownloadDoneText("setup.exe"),
                               DownloadStartedText("readme.txt"), DownloadDoneText("readme.txt")}));
  EXPECT_EQ(state->Outcome(), Succeeded);
  EXPECT_EQ(view.timers, 1);
}

TEST_F(FileDownload, EverythingRecordedFetchesNothing) {
  Manifest("1.0.0.2", {"setup.exe", "core.dll"});
  Record("1.0.0.2", {"core.dll", "setup.exe"});
  Run();
  EXPECT_TRUE(server.urls.empty());
  EXPECT_TRUE(view.messages.empty());
  EXPECT_EQ(view.ranges, 0);
  EXPECT_EQ(state->Outcome(), Succeeded);
  EXPECT_EQ(view.timers, 1);
}

TEST_F(FileDownload, OneFailureDoesNotStopTheOthers) {
  Manifest("1.0.0.2", {"setup.exe", "missing.dll", "readme.txt"});
  Publish("setup.exe", "MZ setup");
  Publish("readme.txt", "read me");
  Run();
  EXPECT_EQ(server.urls.size(), 3u);
  EXPECT_EQ(Recorded("1.0.0.2"), (std::vector<std::string>{"setup.exe", "readme.txt"}));
  EXPECT_FALSE(files.Exists(program.Child("update\\missing.dll")));
  ASSERT_FALSE(view.messages.empty());
  EXPECT_NE(
      std::find(view.messages.begin(), view.messages.end(), DownloadFailedText("missing.dll")),
      view.messages.end());
  EXPECT_EQ(view.messages.back(), DownloadDoneText("readme.txt"));  // the last row's message
  EXPECT_EQ(state->Outcome(), Failed);
  EXPECT_EQ(view.timers, 0);
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
  EXPECT_EQ(state->Outcome(), Succeeded);
}

TEST_F(FileDownload, OnlyShortEntriesIsAFailure) {
  Manifest("3", {"a.ex", "b.dl"});
  Run();
  EXPECT_TRUE(server.urls.empty());
  EXPECT_EQ(state->Outcome(), Failed);
  EXPECT_EQ(view.timers, 0);
}

TEST_F(FileDownload, SameNameTwiceIsFetchedOnce) {
  Manifest("3", {"same.dll", "same.dll"});
  Publish("same.dll", "x");
  Run();
  EXPECT_EQ(server.urls, std::vector<std::string>{Url("same.dll")});
  EXPECT_EQ(Recorded("3"), std::vector<std::string>{"same.dll"});
  EXPECT_EQ(state->Outcome(), Succeeded);
}

TEST_F(FileDownload, RecordEntryInOtherLetterCaseCounts) {
  Manifest("3", {"Setup.exe"});
  Record("3", {"SETUP.EXE"});
  Run();
  EXPECT_TRUE(server.urls.empty());
  EXPECT_EQ(state->Outcome(), Succeeded);
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
  EXPECT_EQ(state->Outcome(), Succeeded);
  state = std::make_shared<PageWorkerState>();
  ListView second{state};
  view.rows.clear();
  HttpFetcher fetcher(server, clock);
  second.rows = {"setup.exe"};
  FileDownloadWorker({registry, files, profiles, fetcher}, second);
  EXPECT_EQ(server.urls.size(), 2u);  // fetched again
  EXPECT_EQ(Recorded(""), (std::vector<std::string>{"setup.exe", "setup.exe"}));
  EXPECT_EQ(state->Outcome(), Succeeded);
}

TEST_F(FileDownload, InterruptedRunResumesWithTheRest) {
  Manifest("5", {"one.dll", "two.dll", "three.dll", "four.dll"});
  Publish("one.dll", "1");
  Publish("two.dll", "2");
  Run();  // the server stops answering after two files
  EXPECT_EQ(state->Outcome(), Failed);
  server.urls.clear();
  Publish("three.dll", "3");
  Publish("four.dll", "4");
  state = std::make_shared<PageWorkerState>();
  ListView second{state};
  second.rows = view.rows;
  HttpFetcher fetcher(server, clock);
  FileDownloadWorker({registry, files, profiles, fetcher}, second);
  EXPECT_EQ(server.urls, (std::vector<std::string>{Url("three.dll"), Url("four.dll")}));
  EXPECT_EQ(Recorded("5"),
            (std::vector<std::string>{"one.dll", "two.dll", "three.dll", "four.dll"}));
  EXPECT_EQ(state->Outcome(), Succeeded);
}

TEST_F(FileDownload, FileThatCannotBeStoredIsNotRecorded) {
  const struct {
    const char* what;
    const char* entry;
    const char* folderInTheWay;  // below update\, made before the run
  } cases[] = {
      {"destination is a folder", "core.dll", "core.dll"},
      {"folder part that does not exist", "sub\\b.dll", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.folderInTheWay) testing_support::MakeFolder(program.Child("update\\") + c.folderInTheWay);
    Manifest("7", {c.entry, "fine.txt"});
    Publish(c.entry, "data");
    Publish("fine.txt", "fine");
    state = std::make_shared<PageWorkerState>();
    ListView page{state};
    page.rows = {c.entry, "fine.txt"};
    HttpFetcher fetcher(server, clock);
    FileDownloadWorker({registry, files, profiles, fetcher}, page);
    EXPECT_EQ(Recorded("7"), std::vector<std::string>{"fine.txt"});
    EXPECT_NE(std::find(page.messages.begin(), page.messages.end(), DownloadFailedText(c.entry)),
              page.messages.end());
    EXPECT_EQ(state->Outcome(), Failed);
    for (const std::string& file : ListFiles(program.path())) {
      EXPECT_EQ(file.find(".partial"), std::string::npos) << file;
    }
    testing_support::RemoveFile(update.record);
  }
}

TEST_F(FileDownload, StoredInAFolderThatExists) {
  testing_support::MakeFolder(program.Child("update\\sub"));
  Manifest("7", {"sub\\b.dll"});
  Publish("sub\\b.dll", "in sub");
  Run();
  EXPECT_EQ(Stored("sub\\b.dll"), "in sub");
  EXPECT_EQ(Recorded("7"), std::vector<std::string>{"sub\\b.dll"});
  EXPECT_EQ(state->Outcome(), Succeeded);
}

TEST_F(FileDownload, HostileEntriesAreRefusedWithoutARequest) {
  const char* const hostile[] = {
      "..\\evil.txt", "..\\..\\evil.txt", "sub\\..\\..\\evil.txt",
      "\\evil.txt",   "/evil.txt",        "C:\\evil.txt",
      "c:evil.txt",   "good.txt:stream",  "CON",
      "con.txt",      "sub\\NUL.dll",     "LPT1",
      "COM9.log",     ".\\.\\x.dll",      "...\\x.dll",
      "update.ini",   "UPDATEOK.INI",     "sub\\Update.Ini",
      "../evil.txt",
  };
  for (const char* entry : hostile) {
    SCOPED_TRACE(entry);
    server.urls.clear();
    Manifest("9", {entry, "good.txt"});
    Publish(entry, "evil");
    Publish("good.txt", "good");
    testing_support::RemoveFile(update.record);
    testing_support::RemoveFile(program.Child("update\\good.txt"));
    state = std::make_shared<PageWorkerState>();
    ListView page{state};
    page.rows = {entry, "good.txt"};
    HttpFetcher fetcher(server, clock);
    FileDownloadWorker({registry, files, profiles, fetcher}, page);
    EXPECT_EQ(server.urls, std::vector<std::string>{Url("good.txt")});
    EXPECT_EQ(page.messages.front(), DownloadFailedText(entry));
    EXPECT_EQ(Recorded("9"), std::vector<std::string>{"good.txt"});
    EXPECT_EQ(ListFiles(program.path()),
              (std::vector<std::string>{"update\\good.txt", "update\\update.ini",
                                        "update\\updateok.ini"}));
    EXPECT_EQ(state->Outcome(), Failed);
  }
}

TEST_F(FileDownload, RecordCannotMakeAHostileEntryCountAsDone) {
  Manifest("9", {"..\\evil.txt"});
  Record("9", {"..\\evil.txt"});
  Run();
  EXPECT_EQ(view.messages, std::vector<std::string>{DownloadFailedText("..\\evil.txt")});
  EXPECT_EQ(state->Outcome(), Failed);
}

TEST_F(FileDownload, LoopStopsOnceThePageHasEnded) {
  const struct {
    const char* what;
    std::function<void(PageWorkerState&)> during;
    int32_t outcome;
  } cases[] = {
      {"page ended", [](PageWorkerState& s) { s.Detach(); }, Pending},
      {"cancel pressed", [](PageWorkerState& s) { s.Cancel(); }, Cancelled},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    server.urls.clear();
    testing_support::RemoveFile(update.record);
    Manifest("4", {"one.dll", "two.dll", "three.dll"});
    Publish("one.dll", std::string(5000, '1'));
    Publish("two.dll", "2");
    Publish("three.dll", "3");
    state = std::make_shared<PageWorkerState>();
    ListView page{state};
    page.rows = {"one.dll", "two.dll", "three.dll"};
    server.onRead = [&] { c.during(*state); };
    HttpFetcher fetcher(server, clock);
    FileDownloadWorker({registry, files, profiles, fetcher}, page);
    server.onRead = nullptr;
    EXPECT_EQ(server.urls, std::vector<std::string>{Url("one.dll")});
    EXPECT_TRUE(Recorded("4").empty());
    EXPECT_EQ(state->Outcome(), c.outcome);
  }
}

TEST_F(FileDownload, NoServerConfigured) {
  registry.DeleteTree("Software\\Morvane\\Reader");
  Manifest("4", {"one.dll"});
  Run();
  EXPECT_EQ(server.urls, std::vector<std::string>{"/one.dll"});
  EXPECT_EQ(state->Outcome(), Failed);
}

}  // namespace

namespace {

// A program whose folder is unknown (its module name has no folder): nothing is fetched or
// written, rather than paths below the root of the current drive.
TEST(UnknownProgramFolder, PagesFailWithoutTouchingAnything) {
  testing_support::ProgramFiles files{"Ostrel.exe"};
  platform::MemoryRegistry registry;
  registry.CreateKey("Software\\Morvane\\Reader")
      ->SetValue("Update Website", platform::StringValue("http://server"));
  ServerFiles server;
  server.bodies["http://server/update.htm"] = "[main]\r\n";
  server.bodies["http://server/setup.exe"] = "MZ";
  FixedClock clock;
  HttpFetcher fetcher(server, clock);

  auto connectState = std::make_shared<PageWorkerState>();
  ListView connectView{connectState};
  ManifestDownloadWorker({registry, files, fetcher}, connectView);
  EXPECT_EQ(connectState->Outcome(), Failed);

  auto listState = std::make_shared<PageWorkerState>();
  ListView listView{listState};
  listView.rows = {"setup.exe"};
  FileDownloadWorker({registry, files, platform::SystemProfileStore(), fetcher}, listView);
  EXPECT_EQ(listState->Outcome(), Failed);
  EXPECT_EQ(listView.messages, std::vector<std::string>{DownloadFailedText("setup.exe")});
  EXPECT_TRUE(server.urls.empty());
}

TEST_F(FileDownload, WithASignedManifestOnlyThePromisedBytesAreStored) {
  testing_support::FakeSignatures crypto;
  const TrustSettings settings{{testing_support::kKeyA}};
  const TrustContext context{settings, crypto, registry, {}};
  trust = &context;
  WriteFileBytes(
      program.Child("update\\update.ini"),
      testing_support::ManifestWithPromises(
          crypto, testing_support::kKeyA, "1.0.0.2",
          {{"setup.exe", "MZ setup"}, {"core.dll", "MZ core"}, {"readme.txt", "read me"}}));
  Publish("setup.exe", "MZ setup");
  Publish("core.dll", "MZ c0re");     // one byte changed
  Publish("readme.txt", "read me!");  // one byte more
  Run();
  EXPECT_EQ(ListFiles(program.Child("update")),
            (std::vector<std::string>{"setup.exe", "update.ini", "updateok.ini"}));
  EXPECT_EQ(Recorded("1.0.0.2"), std::vector<std::string>{"setup.exe"});
  EXPECT_EQ(view.messages.back(), DownloadFailedText("readme.txt"));
  EXPECT_EQ(state->Outcome(), Failed);
}

}  // namespace
