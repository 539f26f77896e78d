// The connect page's rules without windows: the page/worker state, the guarded view, the
// manifest download and the server choice.
#include "steps/manifest_download.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "layout/paths.h"
#include "platform/memory_registry.h"
#include "settings/server_list.h"
#include "steps/server_choice.h"
#include "support/fake_server.h"
#include "support/fake_signatures.h"
#include "support/log_capture.h"
#include "support/memory_mark.h"
#include "support/recording_page_view.h"
#include "support/temp_folder.h"
#include "support/test_program.h"

namespace {

using namespace updater;
using testing_support::ReadFileBytes;
using testing_support::RecordingPageView;
using testing_support::WriteFileBytes;

TEST(PageWorkerState, WhoseResultCounts) {
  const struct {
    const char* what;
    std::function<void(PageWorkerState&)> steps;
    Outcome outcome;
    bool cancelRaised;
  } cases[] = {
      {"nothing happened", [](PageWorkerState&) {}, Outcome::Pending, false},
      {"worker succeeded", [](PageWorkerState& s) { s.Finish(Outcome::Succeeded); },
       Outcome::Succeeded, false},
      {"worker failed", [](PageWorkerState& s) { s.Finish(Outcome::Failed); }, Outcome::Failed,
       false},
      {"cancel, then the worker succeeds",
       [](PageWorkerState& s) {
         s.Cancel();
         s.Finish(Outcome::Succeeded);
       },
       Outcome::Cancelled, true},
      {"failure shown, then cancel",
       [](PageWorkerState& s) {
         s.Finish(Outcome::Failed);
         s.Cancel();
       },
       Outcome::Cancelled, true},
      {"page ended, then the worker succeeds",
       [](PageWorkerState& s) {
         s.Detach();
         s.Finish(Outcome::Succeeded);
       },
       Outcome::Pending, true},
      {"page ended, then cancel",
       [](PageWorkerState& s) {
         s.Detach();
         s.Cancel();
       },
       Outcome::Pending, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    PageWorkerState state;
    c.steps(state);
    EXPECT_EQ(state.Outcome(), c.outcome);
    EXPECT_EQ(state.CancelFlag().load() != 0, c.cancelRaised);
    // Nothing is stored once the page was cancelled or has ended.
    EXPECT_EQ(state.MayStore(), !c.cancelRaised);
  }
}

TEST(PageWorkerState, DetachReturnsTheFinalOutcome) {
  PageWorkerState state;
  state.Finish(Outcome::Succeeded);
  EXPECT_EQ(state.Detach(), Outcome::Succeeded);
  EXPECT_TRUE(state.Detached());
}

TEST(PageView, CallsStopOnceThePageHasEnded) {
  auto state = std::make_shared<PageWorkerState>();
  RecordingPageView view(state);
  view.SetRange(10);
  view.SetMessageText("a");
  state->Detach();
  view.SetPosition(5);
  view.SetStatusText("b");
  view.SetMessageText("c");
  view.RequestEndTimer();
  EXPECT_EQ(view.calls, (std::vector<std::string>{"range 10", "message a"}));
}

TEST(ProgressMailbox, LatestValuesAndOneNoticeUntilTaken) {
  ProgressMailbox mailbox;
  EXPECT_TRUE(mailbox.PutRange(5000));  // the page must be told
  EXPECT_FALSE(mailbox.PutPosition(2048));
  EXPECT_FALSE(mailbox.PutStatusText("a"));
  EXPECT_FALSE(mailbox.PutPosition(4096));
  EXPECT_FALSE(mailbox.PutStatusText("b"));
  EXPECT_FALSE(mailbox.PutMessageText("m"));
  ProgressMailbox::Update update = mailbox.Take();
  EXPECT_EQ(update.range, 5000);
  EXPECT_EQ(update.position, 4096);
  EXPECT_EQ(update.statusText, "b");
  EXPECT_EQ(update.messageText, "m");
  EXPECT_FALSE(mailbox.PutPosition(4500));  // the page comes back after a take that found some
  update = mailbox.Take();
  EXPECT_EQ(update.position, 4500);
  update = mailbox.Take();  // nothing new: the page stops coming back
  EXPECT_FALSE(update.range || update.position || update.statusText || update.messageText);
  EXPECT_TRUE(mailbox.PutPosition(5000));  // so the next put tells it again
  update = mailbox.Take();
  EXPECT_FALSE(update.range);
  EXPECT_EQ(update.position, 5000);
}

TEST(PageWorkerState, EveryWayThePageStopsClosesTheTransfer) {
  const struct {
    const char* what;
    std::function<void(PageWorkerState&)> before;  // before the session exists
    std::function<void(PageWorkerState&)> after;   // once it is registered
    int closes;
  } cases[] = {
      {"cancel button", [](PageWorkerState&) {}, [](PageWorkerState& s) { s.Cancel(); }, 1},
      {"page ended", [](PageWorkerState&) {}, [](PageWorkerState& s) { s.Detach(); }, 1},
      {"cancel, then the page ends", [](PageWorkerState&) {},
       [](PageWorkerState& s) {
         s.Cancel();
         s.Detach();
       },
       2},
      {"page ended before the session was made", [](PageWorkerState& s) { s.Detach(); },
       [](PageWorkerState&) {}, 1},
      {"the worker finished on its own", [](PageWorkerState&) {},
       [](PageWorkerState& s) { s.Finish(Outcome::Succeeded); }, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    PageWorkerState state;
    int closes[2] = {0, 0};  // a worker's two sessions: the page stops both
    c.before(state);
    state.AddCanceller([&closes] { ++closes[0]; });
    state.AddCanceller([&closes] { ++closes[1]; });
    c.after(state);
    EXPECT_EQ(closes[0], c.closes);
    EXPECT_EQ(closes[1], c.closes);
  }
}

class ManifestDownload : public ::testing::Test {
 protected:
  ProgramContext Context() {
    return testing_support::TestProgram(program.path())
        .Registry(registry)
        .Files(files)
        .Internet(client)
        .Clock(clock)
        .Log(log)
        .Trust(trust)
        .Context();
  }
  void Run() { ManifestDownloadWorker(Context(), view); }
  // The log, its milliseconds (not the clock's to choose) written as "_".
  std::string Log() {
    return testing_support::MaskMilliseconds(ReadFileBytes(program.Child("update\\ostrel.log")));
  }
  std::string Manifest() { return ReadFileBytes(program.Child("update\\update.ini")); }

  testing_support::TempFolder program;
  platform::FileSystem& files = platform::SystemFileSystem();
  platform::MemoryRegistry registry;
  testing_support::ServerFiles client;
  testing_support::FixedClock clock;
  RunLog log{files, program.Child("update\\"), [] { return std::string("T"); }};
  std::shared_ptr<PageWorkerState> state = std::make_shared<PageWorkerState>();
  RecordingPageView view{state};
  const TrustContext* trust = nullptr;
};

TEST_F(ManifestDownload, StoresTheManifestAndEndsThePage) {
  updater::WriteSelectedServer(registry, 1);
  registry.CreateKey("Software\\Morvane\\Reader")
      ->SetValue("Update Website2", platform::StringValue("http://pub.example"));
  client.bodies["http://pub.example/update.htm"] = "[main]\r\nversion=1.0.0.2\r\n";
  Run();
  EXPECT_EQ(client.urls, std::vector<std::string>{"http://pub.example/update.htm"});
  EXPECT_EQ(Manifest(), client.bodies["http://pub.example/update.htm"]);
  EXPECT_EQ(state->Outcome(), Outcome::Succeeded);
  ASSERT_GE(view.calls.size(), 2u);
  EXPECT_EQ(view.calls[view.calls.size() - 2],
            std::string("message ") + texts::kManifestDownloaded);
  EXPECT_EQ(view.calls.back(), "timer");
}

TEST_F(ManifestDownload, ReplacesAnOlderManifestWhole) {
  testing_support::MakeFolder(program.Child("update"));
  WriteFileBytes(program.Child("update\\update.ini"), std::string(500, 'o'));
  client.bodies["/update.htm"] = "[main]\r\n";
  Run();
  EXPECT_EQ(Manifest(), "[main]\r\n");
}

TEST_F(ManifestDownload, EmptyManifestIsStoredEmpty) {
  client.bodies["/update.htm"] = "";
  Run();
  EXPECT_EQ(state->Outcome(), Outcome::Succeeded);
  EXPECT_TRUE(files.Exists(program.Child("update\\update.ini")));
  EXPECT_EQ(Manifest(), "");
}

TEST_F(ManifestDownload, FailedFetchKeepsTheOldManifest) {
  testing_support::MakeFolder(program.Child("update"));
  WriteFileBytes(program.Child("update\\update.ini"), "old");
  Run();
  EXPECT_EQ(client.urls, std::vector<std::string>{"/update.htm"});  // no server configured
  EXPECT_EQ(Manifest(), "old");
  EXPECT_EQ(state->Outcome(), Outcome::Failed);
  EXPECT_EQ(view.calls, std::vector<std::string>{std::string("message ") + texts::kConnectFailed});
  EXPECT_EQ(Log(),
            "T GET /update.htm: status 0, length none, received 0, _ ms, error 0: not opened\r\n");
}

// A manifest is at most 1 MiB, decided from the length its answer announces.
TEST_F(ManifestDownload, ManifestPastOneMebibyteIsRefusedUnread) {
  testing_support::MakeFolder(program.Child("update"));
  WriteFileBytes(program.Child("update\\update.ini"), "old");
  client.bodies["/update.htm"] = std::string(kLargestManifest + 1, 'x');
  client.onRead = [] { FAIL() << "a byte of the body was read"; };
  Run();
  EXPECT_EQ(Manifest(), "old");
  EXPECT_EQ(state->Outcome(), Outcome::Failed);
  EXPECT_EQ(Log(),
            "T GET /update.htm: status 200, length 1048577, received 0, _ ms, error 0: "
            "refused: longer than allowed\r\n");
  client.onRead = nullptr;
  client.bodies["/update.htm"].pop_back();
  Run();
  EXPECT_EQ(Manifest().size(), kLargestManifest);
}

TEST_F(ManifestDownload, ManifestThatCannotBeStoredIsAFailure) {
  // update\update.ini is a folder: the fetch succeeds, the store cannot.
  testing_support::MakeFolder(program.Child("update"));
  testing_support::MakeFolder(program.Child("update\\update.ini"));
  client.bodies["/update.htm"] = "[main]\r\n";
  Run();
  EXPECT_EQ(state->Outcome(), Outcome::Failed);
  EXPECT_EQ(view.calls.back(), std::string("message ") + texts::kConnectFailed);
  EXPECT_FALSE(files.Exists(program.Child("update\\update.ini.partial")));
  EXPECT_NE(Log().find("manifest not stored: write failed, error "), std::string::npos) << Log();
}

TEST_F(ManifestDownload, PageThatEndedDuringTheFetchGetsNothing) {
  client.bodies["/update.htm"] = std::string(5000, 'x');
  client.onRead = [this] { state->Detach(); };
  Run();
  EXPECT_FALSE(files.Exists(program.Child("update\\update.ini")));
  EXPECT_EQ(state->Outcome(), Outcome::Pending);
}

TEST_F(ManifestDownload, CancelDuringTheFetchIsNotTurnedIntoSuccess) {
  client.bodies["/update.htm"] = std::string(5000, 'x');
  client.onRead = [this] { state->Cancel(); };
  Run();
  EXPECT_EQ(state->Outcome(), Outcome::Cancelled);
  EXPECT_FALSE(files.Exists(program.Child("update\\update.ini")));
}

TEST_F(ManifestDownload, RefusedManifestsAreNotStoredASignedOneIsAndLeavesItsMark) {
  testing_support::FakeSignatures crypto;
  const TrustSettings settings{{testing_support::kKeyA}};
  std::vector<std::string> verdicts;
  testing_support::MemoryMark mark;
  const TrustContext context{settings, crypto, mark,
                             [&verdicts](const std::string& line) { verdicts.push_back(line); }};
  trust = &context;
  const std::string body = "[main]\r\nversion=1.0.0.2\r\n";
  const std::string good = crypto.Signed(testing_support::kKeyA, body);
  testing_support::MakeFolder(program.Child("update"));
  WriteFileBytes(program.Child("update\\update.ini"), "old");
  for (const std::string& refused : {crypto.Signed(testing_support::kKeyB, body), "x" + good}) {
    SCOPED_TRACE(refused);
    client.bodies["/update.htm"] = refused;
    Run();
    EXPECT_EQ(view.calls.back(), std::string("message ") + texts::kManifestRefused);
    EXPECT_EQ(Manifest(), "old");
    EXPECT_EQ(mark.reading.state, MarkReading::State::kNone);
  }
  EXPECT_EQ(
      verdicts,
      (std::vector<std::string>{
          "fetched manifest: refused: signed by an unknown key, key " +
              KeyIdOf(crypto, testing_support::kKeyB) + "; not stored, the stored one is kept",
          "fetched manifest: refused: bad signature, key " +
              KeyIdOf(crypto, testing_support::kKeyA) + "; not stored, the stored one is kept"}));
  EXPECT_EQ(state->Outcome(), Outcome::Failed);
  state = std::make_shared<PageWorkerState>();
  RecordingPageView fresh(state);
  client.bodies["/update.htm"] = good;
  ManifestDownloadWorker(Context(), fresh);
  EXPECT_EQ(state->Outcome(), Outcome::Succeeded);
  EXPECT_EQ(Manifest(), good);
  EXPECT_EQ(mark.reading.version, "1.0.0.2");
}

TEST(ServerChoice, ClampsAndCommits) {
  const struct {
    const char* what;
    int servers;
    std::optional<uint32_t> stored;
    int32_t selection;
    int32_t written;
  } cases[] = {
      {"stored choice inside the list", 2, 1, 1, 1},
      {"past the end: the last entry", 2, 5, 1, 1},
      {"all bits set reads as -1: entry 0", 2, 0xFFFFFFFFu, 0, 0},
      {"not stored: entry 0", 2, std::nullopt, 0, 0},
      {"no entries: nothing selected, 0 written", 0, 3, -1, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    platform::MemoryRegistry registry;
    auto key = registry.CreateKey("Software\\Morvane\\Reader");
    for (int i = 0; i < c.servers; ++i) {
      key->SetValue(updater::ServerEntryValueName(i),
                    platform::StringValue("http://s" + std::to_string(i)));
    }
    if (c.stored) key->SetValue("SelectedWebsite", platform::DwordValue(*c.stored));
    const ServerChoice choice = ChooseServer(registry);
    EXPECT_EQ(choice.servers.size(), static_cast<std::size_t>(c.servers));
    EXPECT_EQ(choice.selection, c.selection);
    EXPECT_EQ(CommitSelection(registry, choice.selection), c.written);
    EXPECT_EQ(ReadSelectedServer(registry), c.written);
  }
}

}  // namespace
