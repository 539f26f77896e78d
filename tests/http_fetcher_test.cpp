// The fetch loop over a scripted session and clock.
#include "net/http_fetcher.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <stdexcept>

namespace {

using ostrel::HttpFetcher;

// Scripted answers: each Read takes the next chunk size (or an error, or the end).
struct Script {
  bool sessionFails = false;
  bool openFails = false;
  bool throwsOnOpen = false;
  int status = 200;
  std::optional<int64_t> length;
  std::deque<std::optional<std::size_t>> reads;  // nullopt: a broken transfer
  std::vector<std::size_t> asked;                // sizes the fetch asked for
  std::function<void()> onRead;                  // runs before each read
  std::string lastUrl;
};

class FakeResource final : public platform::InternetResource {
 public:
  explicit FakeResource(Script& script) : script_(script) {}
  int StatusCode() override { return script_.status; }
  std::optional<int64_t> ContentLength() override { return script_.length; }
  std::optional<std::size_t> Read(char* buffer, std::size_t size) override {
    script_.asked.push_back(size);
    if (script_.onRead) script_.onRead();
    if (script_.reads.empty()) return 0;
    const std::optional<std::size_t> next = script_.reads.front();
    script_.reads.pop_front();
    if (next) std::fill(buffer, buffer + std::min(*next, size), 'x');
    return next;
  }

 private:
  Script& script_;
};

class FakeSession final : public platform::InternetSession {
 public:
  explicit FakeSession(Script& script) : script_(script) {}
  std::unique_ptr<platform::InternetResource> OpenUrl(const std::string& url) override {
    script_.lastUrl = url;
    if (script_.throwsOnOpen) throw std::runtime_error("broken");
    if (script_.openFails) return nullptr;
    return std::make_unique<FakeResource>(script_);
  }

 private:
  struct Script& script_;
};

class FakeClient final : public platform::InternetClient {
 public:
  explicit FakeClient(Script& script) : script_(script) {}
  std::unique_ptr<platform::InternetSession> OpenSession() override {
    if (script_.sessionFails) return nullptr;
    return std::make_unique<FakeSession>(script_);
  }

 private:
  Script& script_;
};

// Each reading advances by a scripted number of seconds (in days).
class FakeClock final : public platform::DayClock {
 public:
  std::deque<double> secondsPerReading;
  double NowInDays() override {
    if (!secondsPerReading.empty()) {
      now_ += secondsPerReading.front() / 86400.0;
      secondsPerReading.pop_front();
    }
    return now_;
  }

 private:
  double now_ = 46000.0;
};

struct RecordingSink final : ostrel::ProgressSink {
  std::vector<int32_t> ranges;
  std::vector<int32_t> positions;
  std::vector<std::string> texts;
  void SetRange(int32_t upper) override { ranges.push_back(upper); }
  void SetPosition(int32_t position) override { positions.push_back(position); }
  void SetStatusText(const std::string& text) override { texts.push_back(text); }
};

class Fetch : public ::testing::Test {
 protected:
  bool Run() {
    FakeClient client(script);
    HttpFetcher fetcher(client, clock);
    return fetcher.Fetch("http://127.0.0.1/update.htm", block, sink, cancel);
  }

  Script script;
  FakeClock clock;
  RecordingSink sink;
  std::vector<char> block{'o', 'l', 'd'};
  std::atomic<int32_t> cancel{0};
};

// "读取 " in GBK
const std::string kRead = "\xb6\xc1\xc8\xa1 ";

TEST_F(Fetch, EmptyResourceSucceedsWithAnEmptyBlock) {
  script.length = 0;
  EXPECT_TRUE(Run());
  EXPECT_TRUE(block.empty());
  EXPECT_EQ(sink.ranges, std::vector<int32_t>{0});
  EXPECT_TRUE(script.asked.empty());
  EXPECT_TRUE(sink.texts.empty());
}

TEST_F(Fetch, TwoReadsFor2049Bytes) {
  script.length = 2049;
  script.reads = {2048, 1};
  EXPECT_TRUE(Run());
  EXPECT_EQ(block.size(), 2049u);
  EXPECT_EQ(script.asked, (std::vector<std::size_t>{2048, 1}));
  EXPECT_EQ(sink.ranges, std::vector<int32_t>{2049});
  EXPECT_EQ(sink.positions, (std::vector<int32_t>{2048, 2049}));
  EXPECT_EQ(sink.texts, (std::vector<std::string>{kRead + "2048 bytes\n", kRead + "2049 bytes\n"}));
}

TEST_F(Fetch, RateOnlyOnceAWholeSecondHasPassed) {
  script.length = 6144;
  script.reads = {2048, 2048, 2048};
  clock.secondsPerReading = {0, 0.4, 0.6, 1.0};  // start, then after each chunk
  EXPECT_TRUE(Run());
  EXPECT_EQ(sink.texts,
            (std::vector<std::string>{kRead + "2048 bytes\n", kRead + "4096 bytes (4.0 Kb/s)\n",
                                      kRead + "6144 bytes (3.0 Kb/s)\n"}));
}

TEST_F(Fetch, ShortReadsAreContinued) {
  script.length = 3000;
  script.reads = {100, 2000, 900};
  EXPECT_TRUE(Run());
  EXPECT_EQ(script.asked, (std::vector<std::size_t>{2048, 2048, 900}));
}

TEST_F(Fetch, Failures) {
  const struct {
    const char* what;
    std::function<void(Script&)> setUp;
    std::size_t expectedReads;
  } cases[] = {
      {"no session", [](Script& s) { s.sessionFails = true; }, 0},
      {"address not opened", [](Script& s) { s.openFails = true; }, 0},
      {"exception from the platform", [](Script& s) { s.throwsOnOpen = true; }, 0},
      {"not found",
       [](Script& s) {
         s.status = 404;
         s.length = 10;
       },
       0},
      {"server error",
       [](Script& s) {
         s.status = 500;
         s.length = 10;
       },
       0},
      {"redirect status",
       [](Script& s) {
         s.status = 302;
         s.length = 10;
       },
       0},
      {"status unknown",
       [](Script& s) {
         s.status = 0;
         s.length = 10;
       },
       0},
      {"no length", [](Script& s) { s.length = std::nullopt; }, 0},
      {"negative length", [](Script& s) { s.length = -1; }, 0},
      {"length past 32 bits", [](Script& s) { s.length = 2147483648LL; }, 0},
      {"ends early",
       [](Script& s) {
         s.length = 5000;
         s.reads = {2048, 0};
       },
       2},
      {"broken transfer",
       [](Script& s) {
         s.length = 5000;
         s.reads = {2048, std::nullopt};
       },
       2},
      {"platform claims more than asked",
       [](Script& s) {
         s.length = 10;
         s.reads = {11};
       },
       1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    script = Script{};
    block = {'o', 'l', 'd'};
    c.setUp(script);
    EXPECT_FALSE(Run());
    EXPECT_TRUE(block.empty());
    EXPECT_EQ(script.asked.size(), c.expectedReads);
  }
}

TEST_F(Fetch, CancelBetweenReadsStopsWithinOneRead) {
  script.length = 10000;
  script.reads = {2048, 2048, 2048, 2048, 1808};
  script.onRead = [this] {
    if (script.asked.size() == 2) cancel = 1;
  };
  EXPECT_FALSE(Run());
  EXPECT_EQ(script.asked.size(), 2u);
  EXPECT_TRUE(block.empty());
}

TEST(ElapsedWholeSeconds, TruncatesWithTheBias) {
  EXPECT_EQ(ostrel::ElapsedWholeSeconds(46000.0, 46000.0), 0);
  EXPECT_EQ(ostrel::ElapsedWholeSeconds(46000.0, 46000.0 + 0.999 / 86400), 0);
  EXPECT_EQ(ostrel::ElapsedWholeSeconds(46000.0, 46000.0 + 1.0 / 86400), 1);
  EXPECT_EQ(ostrel::ElapsedWholeSeconds(46000.0, 46000.0 + 61.0 / 86400), 61);
}

}  // namespace
