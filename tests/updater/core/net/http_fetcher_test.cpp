// The fetch loop over a scripted session and clock.
#include "net/http_fetcher.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>
#include <stdexcept>

namespace {

using updater::FetchEnd;
using updater::HttpFetcher;

// Scripted answers: each Available and each Read takes the next scripted value; once a script
// runs out, everything has arrived (Available: plenty, Read: all that was asked for).
struct Script {
  bool openFails = false;
  bool throwsOnOpen = false;
  uint32_t error = 0;
  int status = 200;
  std::optional<int64_t> length;
  std::deque<std::optional<std::size_t>> available;  // nullopt: a broken transfer
  std::deque<std::optional<std::size_t>> reads;      // nullopt: a broken transfer
  std::vector<std::size_t> asked;                    // sizes the fetch asked for
  int waits = 0;                                     // calls of Available
  std::map<std::string, std::string> headers;
  std::vector<std::optional<uint64_t>> opened;  // the offset each open asked from
  std::function<void(Script&)> onReopen;        // changes the answer to a second open
  std::function<void()> onRead;                 // runs before each read
};

template <typename T>
T Next(std::deque<T>& script, T whenOut) {
  if (script.empty()) return whenOut;
  T next = script.front();
  script.pop_front();
  return next;
}

class FakeResource final : public platform::InternetResource {
 public:
  explicit FakeResource(Script& script) : script_(script) {}
  int StatusCode() override { return script_.status; }
  std::optional<int64_t> ContentLength() override { return script_.length; }
  std::optional<std::string> Header(const std::string& name) override {
    const auto found = script_.headers.find(name);
    if (found == script_.headers.end()) return std::nullopt;
    return found->second;
  }
  std::optional<std::size_t> Available() override {
    ++script_.waits;
    return Next<std::optional<std::size_t>>(script_.available, std::size_t{1} << 30);
  }
  std::optional<std::size_t> Read(char* buffer, std::size_t size) override {
    script_.asked.push_back(size);
    if (script_.onRead) script_.onRead();
    const std::optional<std::size_t> next = Next<std::optional<std::size_t>>(script_.reads, size);
    if (next) std::fill(buffer, buffer + std::min(*next, size), 'x');
    return next;
  }

 private:
  Script& script_;
};

class FakeSession final : public platform::InternetSession {
 public:
  explicit FakeSession(Script& script) : script_(script) {}
  std::unique_ptr<platform::InternetResource> Open(
      const std::string&, const std::optional<platform::ResumePoint>& resume) override {
    if (script_.throwsOnOpen) throw std::runtime_error("broken");
    if (!script_.opened.empty() && script_.onReopen) script_.onReopen(script_);
    script_.opened.push_back(resume ? std::optional<uint64_t>(resume->offset) : std::nullopt);
    if (script_.openFails) return nullptr;
    return std::make_unique<FakeResource>(script_);
  }
  uint32_t LastError() override { return script_.error; }

 private:
  Script& script_;
};

// Each reading advances by a scripted number of seconds (in days).
class FakeClock final : public platform::OleDateClock {
 public:
  std::deque<double> secondsPerReading;
  double NowAsOleDate() override {
    if (!secondsPerReading.empty()) {
      now_ += secondsPerReading.front() / 86400.0;
      secondsPerReading.pop_front();
    }
    return now_;
  }

 private:
  double now_ = 46000.0;
};

struct RecordingSink final : updater::ProgressSink {
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
    FakeSession session(script);
    HttpFetcher fetcher(session, clock);
    return fetcher.Fetch("http://127.0.0.1/update.htm", largest, block, sink, cancel, report);
  }

  Script script;
  FakeClock clock;
  RecordingSink sink;
  std::vector<char> block{'o', 'l', 'd'};
  uint64_t largest = updater::kAnyLength;
  std::atomic<int32_t> cancel{0};
  updater::FetchReport report;
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
  EXPECT_EQ(report.end, FetchEnd::kComplete);
}

// Each read asks for at most 64 KiB and what is missing, and takes what has arrived; only a
// read that found nothing waits for data.
TEST_F(Fetch, EachReadTakesWhatHasArrived) {
  script.length = 70001;
  script.reads = {2048, 0, 1, 65536, 2416};
  script.available = {5};
  EXPECT_TRUE(Run());
  EXPECT_EQ(block.size(), 70001u);
  EXPECT_EQ(script.asked, (std::vector<std::size_t>{65536, 65536, 65536, 65536, 2416}));
  EXPECT_EQ(script.waits, 1);
  EXPECT_EQ(sink.ranges, std::vector<int32_t>{70001});
  EXPECT_EQ(sink.positions, (std::vector<int32_t>{2048, 2049, 67585, 70001}));
  ASSERT_EQ(sink.texts.size(), 4u);  // every read moves the bar and writes the line
  EXPECT_EQ(sink.texts[1], kRead + "2049 bytes\n");
  EXPECT_EQ(report.received, 70001);
  EXPECT_EQ(report.announced, 70001);
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
  EXPECT_EQ(script.asked, (std::vector<std::size_t>{3000, 2900, 900}));
}

TEST_F(Fetch, Failures) {
  const struct {
    const char* what;
    std::function<void(Script&)> setUp;
    std::size_t expectedReads;
    FetchEnd end;
  } cases[] = {
      {"address not opened", [](Script& s) { s.openFails = true; }, 0, FetchEnd::kNotOpened},
      {"exception from the platform", [](Script& s) { s.throwsOnOpen = true; }, 0,
       FetchEnd::kFailed},
      {"not found",
       [](Script& s) {
         s.status = 404;
         s.length = 10;
       },
       0, FetchEnd::kBadStatus},
      {"server error",
       [](Script& s) {
         s.status = 500;
         s.length = 10;
       },
       0, FetchEnd::kBadStatus},
      {"redirect status",
       [](Script& s) {
         s.status = 302;
         s.length = 10;
       },
       0, FetchEnd::kBadStatus},
      {"status unknown",
       [](Script& s) {
         s.status = 0;
         s.length = 10;
       },
       0, FetchEnd::kBadStatus},
      {"no length", [](Script& s) { s.length = std::nullopt; }, 0, FetchEnd::kNoLength},
      {"negative length", [](Script& s) { s.length = -1; }, 0, FetchEnd::kTooLong},
      {"stalled while waiting",
       [](Script& s) {
         s.length = 5000;
         s.reads = {0};
         s.available = {std::nullopt};
         s.error = platform::kStalledError;
       },
       1, FetchEnd::kStalled},
      {"ends early: nothing more, and the wait says the body has ended",
       [](Script& s) {
         s.length = 5000;
         s.reads = {2048, 0};
         s.available = {0};
       },
       2, FetchEnd::kEndedEarly},
      {"data said to be there, none read: no endless loop",
       [](Script& s) {
         s.length = 5000;
         s.available = {100, 100, 100};
         s.reads = {0, 0, 0};
       },
       2, FetchEnd::kEndedEarly},
      {"broken transfer",
       [](Script& s) {
         s.length = 5000;
         s.reads = {2048, std::nullopt};
       },
       2, FetchEnd::kBroken},
      {"broken while waiting",
       [](Script& s) {
         s.length = 5000;
         s.reads = {0};
         s.available = {std::nullopt};
       },
       1, FetchEnd::kBroken},
      {"platform claims more than asked",
       [](Script& s) {
         s.length = 10;
         s.reads = {11};
       },
       1, FetchEnd::kBroken},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    script = Script{};
    block = {'o', 'l', 'd'};
    c.setUp(script);
    EXPECT_FALSE(Run());
    EXPECT_TRUE(block.empty());
    EXPECT_EQ(script.asked.size(), c.expectedReads);
    EXPECT_EQ(report.end, c.end);
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
  EXPECT_EQ(report.end, FetchEnd::kCancelled);
  EXPECT_EQ(report.received, 4096);
}

// A body past what the caller takes is refused before its first read, whatever it announces.
TEST_F(Fetch, LengthPastTheLimitIsNeverRead) {
  largest = 1000;
  for (const int64_t length : {int64_t{1001}, int64_t{2} << 30, INT64_MAX}) {
    SCOPED_TRACE(length);
    script = Script{};
    script.length = length;
    EXPECT_FALSE(Run());
    EXPECT_TRUE(script.asked.empty());
    EXPECT_EQ(report.end, FetchEnd::kTooLarge);
  }
  script = Script{};
  script.length = 1000;
  EXPECT_TRUE(Run());
  EXPECT_EQ(block.size(), 1000u);
}

// Takes the body into a string; refuses the bytes past `refuseAfter`.
struct StringSink final : updater::BodySink {
  std::string body = "kept";
  std::vector<uint64_t> begins;
  std::size_t refuseAfter = SIZE_MAX;
  bool Begin(uint64_t offset, const std::string&) override {
    begins.push_back(offset);
    body.resize(offset);
    return true;
  }
  bool Add(std::string_view bytes) override {
    if (body.size() + bytes.size() > refuseAfter) return false;
    body.append(bytes);
    return true;
  }
};

class FetchInto : public Fetch {
 protected:
  bool RunInto() {
    FakeSession session(script);
    HttpFetcher fetcher(session, clock);
    return fetcher.Fetch("http://127.0.0.1/a.bin", request, body, sink, cancel, report);
  }
  updater::FetchRequest request;
  StringSink body;
};

TEST_F(FetchInto, PromisedSizeDecidesBeforeTheBody) {
  request.promisedSize = 11;
  script.length = 400 * 1000 * 1000;
  EXPECT_FALSE(RunInto());
  EXPECT_TRUE(script.asked.empty());
  EXPECT_TRUE(body.begins.empty());
  EXPECT_EQ(report.end, FetchEnd::kNotPromised);
}

TEST_F(FetchInto, RefusedBytesFailTheFetch) {
  script.length = 5000;
  body.refuseAfter = 4000;
  script.reads = {2048, 2048, 904};
  EXPECT_FALSE(RunInto());
  EXPECT_EQ(report.end, FetchEnd::kNotStored);
}

// How each answer to a request for the rest is taken: the body continues only from a 206 whose
// range is the rest asked for; anything else fetches it whole.
TEST_F(FetchInto, ResumeTakesOnlyTheRestAskedFor) {
  const struct {
    const char* what;
    int status;
    std::string contentRange;
    int64_t length;
    std::vector<std::optional<uint64_t>> opened;
    uint64_t begunAt;
  } cases[] = {
      {"206, the rest", 206, "bytes 4-9/10", 6, {4}, 4},
      {"206 from elsewhere", 206, "bytes 2-9/10", 8, {4, std::nullopt}, 0},
      {"206 short of the end", 206, "bytes 4-8/10", 5, {4, std::nullopt}, 0},
      {"206 of another length", 206, "bytes 4-9/10", 7, {4, std::nullopt}, 0},
      {"206 without a range", 206, "", 6, {4, std::nullopt}, 0},
      {"416", 416, "", 0, {4, std::nullopt}, 0},
      {"200: the file changed", 200, "", 10, {4}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    script = Script{};
    body = StringSink{};
    script.status = c.status;
    script.length = c.length;
    if (!c.contentRange.empty()) script.headers["Content-Range"] = c.contentRange;
    script.onReopen = [](Script& s) {
      s.status = 200;
      s.length = 10;
      s.headers.clear();
    };
    request.resume = platform::ResumePoint{4, "\"v1\""};
    EXPECT_TRUE(RunInto());
    EXPECT_EQ(script.opened, c.opened);
    EXPECT_EQ(body.begins, std::vector<uint64_t>{c.begunAt});
    EXPECT_EQ(body.body.size(), 10u);
    EXPECT_EQ(report.resumedFrom, c.begunAt);
    EXPECT_EQ(sink.ranges.back(), 10);
  }
}

TEST_F(FetchInto, ValidatorIsTheETagElseLastModified) {
  script.length = 0;
  script.headers = {{"Last-Modified", "Tue, 08 Dec 2026 10:00:00 GMT"}};
  EXPECT_TRUE(RunInto());
  EXPECT_EQ(report.validator, "Tue, 08 Dec 2026 10:00:00 GMT");
  script.headers["ETag"] = "\"abc\"";
  EXPECT_TRUE(RunInto());
  EXPECT_EQ(report.validator, "\"abc\"");
}

TEST(ProgressShift, FitsAnyCountIntoThe32BitRange) {
  const struct {
    uint64_t total;
    int shift;
  } cases[] = {{0, 0},
               {INT32_MAX, 0},
               {uint64_t{INT32_MAX} + 1, 1},
               {uint64_t{5} << 30, 2},
               {UINT64_MAX, 33}};
  for (const auto& c : cases) {
    EXPECT_EQ(updater::ProgressShift(c.total), c.shift) << c.total;
    EXPECT_LE(c.total >> c.shift, static_cast<uint64_t>(INT32_MAX));
  }
  EXPECT_EQ(updater::TransferStatusLine(int64_t{5} << 30, 0), kRead + "5368709120 bytes\n");
}

TEST(ElapsedWholeSeconds, TruncatesWithTheBias) {
  EXPECT_EQ(updater::ElapsedWholeSeconds(46000.0, 46000.0), 0);
  EXPECT_EQ(updater::ElapsedWholeSeconds(46000.0, 46000.0 + 0.999 / 86400), 0);
  EXPECT_EQ(updater::ElapsedWholeSeconds(46000.0, 46000.0 + 1.0 / 86400), 1);
  EXPECT_EQ(updater::ElapsedWholeSeconds(46000.0, 46000.0 + 61.0 / 86400), 61);
}

}  // namespace
