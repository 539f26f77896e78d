// The fetch loop over real WinInet against the local update server.
#include <gtest/gtest.h>
#include <windows.h>
#include <wininet.h>
#include <winsock2.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "net/http_fetcher.h"
#include "support/temp_folder.h"
#include "support/unique_name.h"
#include "support/update_server.h"

namespace {

struct RecordingSink final : updater::ProgressSink {
  std::vector<int32_t> ranges;
  int32_t lastPosition = -1;
  int texts = 0;
  void SetRange(int32_t upper) override { ranges.push_back(upper); }
  void SetPosition(int32_t position) override { lastPosition = position; }
  void SetStatusText(const std::string&) override { ++texts; }
};

class WinInetFetch : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server.valid()) << "the update server is not running"; }

  // A file of `size` bytes in the served folder, under a name of its own; its URL path.
  std::string Publish(std::size_t size, char fill = 'd') {
    const std::string name = testing_support::UniqueName("file") + ".bin";
    contents.assign(size, fill);
    for (std::size_t i = 0; i < size; i += 97) contents[i] = static_cast<char>(i);
    testing_support::WriteFileBytes(server.root() + "\\" + name, contents);
    return "/" + name;
  }

  bool Fetch(const std::string& url) {
    const auto session = platform::WinInetClient("Ostrel").OpenSession();
    if (!session) return false;
    updater::HttpFetcher fetcher(*session, platform::SystemOleDateClock());
    return fetcher.Fetch(url, updater::kAnyLength, block, sink, cancel, report);
  }

  testing_support::UpdateServer server;
  std::string contents;
  std::vector<char> block{'o', 'l', 'd'};
  RecordingSink sink;
  std::atomic<int32_t> cancel{0};
  updater::FetchReport report;
};

TEST_F(WinInetFetch, WholeResource) {
  const std::string path = Publish(5000);
  ASSERT_TRUE(Fetch(server.baseUrl() + path));
  EXPECT_EQ(std::string(block.begin(), block.end()), contents);
  EXPECT_EQ(sink.ranges, std::vector<int32_t>{5000});
  EXPECT_EQ(sink.lastPosition, 5000);
  EXPECT_GE(sink.texts, 1);  // one a read; how many reads depends on what arrives when
  EXPECT_EQ(report.status, 200);
  EXPECT_EQ(report.received, 5000);
}

// One session, one request after another, as the file-list page fetches its files.
TEST_F(WinInetFetch, OneSessionManyRequests) {
  const auto session = platform::WinInetClient("Ostrel").OpenSession();
  ASSERT_TRUE(session);
  updater::HttpFetcher fetcher(*session, platform::SystemOleDateClock());
  for (const std::size_t size : {100000u, 0u, 70000u}) {
    SCOPED_TRACE(size);
    const std::string path = Publish(size);
    ASSERT_TRUE(
        fetcher.Fetch(server.baseUrl() + path, updater::kAnyLength, block, sink, cancel, report));
    EXPECT_EQ(std::string(block.begin(), block.end()), contents);
  }
}

// A server that sends its headers and then nothing: a wait for the body ends as soon as the
// session is cancelled from another thread, not when the server gives up (after 60 s).
TEST_F(WinInetFetch, CancelEndsAWaitOnAStalledServer) {
  const std::string path = Publish(1000);
  const auto session = platform::WinInetClient("Ostrel").OpenSession();
  ASSERT_TRUE(session);
  const auto resource = session->OpenUrl(server.baseUrl() + "/~stall" + path);
  ASSERT_TRUE(resource);
  std::thread canceller([cancel = session->Canceller()] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // while the wait is on
    cancel();
  });
  char buffer[100];
  const std::optional<std::size_t> read = resource->Read(buffer, sizeof buffer);
  const std::optional<std::size_t> available = read == 0u ? resource->Available() : read;
  canceller.join();
  EXPECT_FALSE(available);
  EXPECT_EQ(session->LastError(), static_cast<uint32_t>(ERROR_INTERNET_OPERATION_CANCELLED));
}

// The rest of a body from its validator, as a resumed download asks; and a wait that the stall
// limit ends by itself.
TEST_F(WinInetFetch, RestOfABodyAndAStalledWait) {
  const std::string path = Publish(1000);
  const auto session = platform::WinInetClient("Ostrel").OpenSession();
  ASSERT_TRUE(session);
  std::optional<std::string> etag = session->OpenUrl(server.baseUrl() + path)->Header("ETag");
  ASSERT_TRUE(etag);
  const auto rest = session->Open(server.baseUrl() + path, platform::ResumePoint{400, *etag});
  ASSERT_TRUE(rest);
  EXPECT_EQ(rest->StatusCode(), 206);
  EXPECT_EQ(rest->Header("Content-Range"), "bytes 400-999/1000");
  EXPECT_EQ(rest->ContentLength(), 600);

  session->SetStallLimit(std::chrono::milliseconds(300));
  const auto stalled = session->OpenUrl(server.baseUrl() + "/~stall" + path);
  ASSERT_TRUE(stalled);
  char buffer[100];
  EXPECT_EQ(stalled->Read(buffer, sizeof buffer), 0u);
  EXPECT_FALSE(stalled->Available());
  EXPECT_EQ(session->LastError(), platform::kStalledError);
}

// Once the page's canceller has run, the session reaches the network no more: the open request
// fails as cancelled and no new request is sent.
TEST_F(WinInetFetch, CancelledSessionMakesNoMoreRequests) {
  const std::string first = Publish(200000);
  const std::string second = Publish(10);
  const auto session = platform::WinInetClient("Ostrel").OpenSession();
  ASSERT_TRUE(session);
  const auto resource = session->OpenUrl(server.baseUrl() + first);
  ASSERT_TRUE(resource);
  char buffer[100];
  ASSERT_TRUE(resource->Read(buffer, sizeof buffer));
  std::thread([canceller = session->Canceller()] { canceller(); }).join();
  EXPECT_FALSE(resource->Available());
  EXPECT_FALSE(resource->Read(buffer, sizeof buffer));
  EXPECT_EQ(session->LastError(), static_cast<uint32_t>(ERROR_INTERNET_OPERATION_CANCELLED));
  EXPECT_EQ(session->OpenUrl(server.baseUrl() + second), nullptr);
  EXPECT_EQ(server.RequestLog().find(second), std::string::npos) << server.RequestLog();
}

TEST_F(WinInetFetch, EmptyResource) {
  const std::string path = Publish(0);
  ASSERT_TRUE(Fetch(server.baseUrl() + path));
  EXPECT_TRUE(block.empty());
  EXPECT_EQ(sink.ranges, std::vector<int32_t>{0});
}

TEST_F(WinInetFetch, NoStaleAnswerFromTheCache) {
  // The server allows caching for an hour; the second fetch must still see the new file, and
  // every request asks caches on the way to step aside. (Wine's WinInet reuses no cached
  // answer either way; the request header is what shows the bypass here.)
  const std::string path = Publish(100, 'a');
  ASSERT_TRUE(Fetch(server.baseUrl() + "/~cacheable" + path));
  testing_support::WriteFileBytes(server.root() + "\\" + path.substr(1), std::string(100, 'b'));
  ASSERT_TRUE(Fetch(server.baseUrl() + "/~cacheable" + path));
  EXPECT_EQ(std::string(block.begin(), block.end()), std::string(100, 'b'));
  const std::string requests = server.RequestLog();
  EXPECT_NE(requests.find("/~cacheable" + path + "\tno-cache\n"), std::string::npos) << requests;
}

TEST_F(WinInetFetch, Failures) {
  const std::string path = Publish(3000);
  // A port that was just free: nothing listens there.
  SOCKET probe = INVALID_SOCKET;
  WSADATA wsa;
  ASSERT_EQ(::WSAStartup(MAKEWORD(2, 2), &wsa), 0);
  probe = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  int length = sizeof address;
  ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
  const std::string closedPort = std::to_string(ntohs(address.sin_port));
  ::closesocket(probe);
  ::WSACleanup();

  // What the log will say of each: status, bytes received and WinInet's own error.
  const struct {
    const char* what;
    std::string url;
    updater::FetchEnd end;
    int status;
    int64_t received;
    uint32_t error;
  } cases[] = {
      {"not found", server.baseUrl() + "/missing.bin", updater::FetchEnd::kBadStatus, 404, 0, 0},
      {"404 page", server.baseUrl() + "/~status=404" + path, updater::FetchEnd::kBadStatus, 404, 0,
       0},
      {"500 page", server.baseUrl() + "/~status=500" + path, updater::FetchEnd::kBadStatus, 500, 0,
       0},
      {"no length announced", server.baseUrl() + "/~nolength" + path, updater::FetchEnd::kNoLength,
       200, 0, 0},
      {"body cut short", server.baseUrl() + "/~cut=2500" + path, updater::FetchEnd::kEndedEarly,
       200, 2500, 0},
      {"nothing listening", "http://127.0.0.1:" + closedPort + path, updater::FetchEnd::kNotOpened,
       0, 0, ERROR_INTERNET_CANNOT_CONNECT},
      {"no scheme or host", "/update.htm", updater::FetchEnd::kNotOpened, 0, 0,
       ERROR_INTERNET_UNRECOGNIZED_SCHEME},
      {"empty address", "", updater::FetchEnd::kNotOpened, 0, 0, ERROR_INVALID_PARAMETER},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    block = {'o', 'l', 'd'};
    EXPECT_FALSE(Fetch(c.url));
    EXPECT_TRUE(block.empty());
    EXPECT_EQ(report.end, c.end);
    EXPECT_EQ(report.status, c.status);
    EXPECT_EQ(report.received, c.received);
    EXPECT_EQ(report.error, c.error);
  }
}

// Large enough for reads of whole blocks to take over from reads after a query, then slowed
// down so that a block read waits for its block: each way must deliver the body intact.
TEST_F(WinInetFetch, FastBodyThatSlowsDownArrivesIntact) {
  const std::string path = Publish(17u << 20);
  for (const std::string faults : {"", "/~fast=16777216,rate=1000000"}) {
    SCOPED_TRACE(faults);
    ASSERT_TRUE(Fetch(server.baseUrl() + faults + path))
        << updater::DescribeFetch(faults + path, report);
    EXPECT_TRUE(std::equal(block.begin(), block.end(), contents.begin(), contents.end()));
  }
}

TEST_F(WinInetFetch, CancelDuringASlowTransfer) {
  const std::string path = Publish(200000);  // 100 s at the trickle's rate
  std::thread canceller([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    cancel = 1;
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(Fetch(server.baseUrl() + "/~rate=2000" + path));
  const auto elapsed = std::chrono::steady_clock::now() - start;
  canceller.join();
  EXPECT_TRUE(block.empty());
  EXPECT_LT(sink.lastPosition, 200000);
  // The flag is tested before every read, and a read takes only what has arrived, so the
  // fetch ends long before the 5000 ms a page waits for its worker.
  EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(), 5000);
}

}  // namespace
