// Downloads one resource into a sink (a file, or a block of bounded size) as it arrives, while it
// drives a progress bar and a status line and watches a cancel flag. Runs on a worker thread;
// shows nothing itself.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/internet.h"
#include "platform/ole_date_clock.h"

namespace updater {

// Where a fetch reports its progress: a progress bar and a status text on a page.
class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void SetRange(int32_t upper) = 0;  // lower bound 0
  virtual void SetPosition(int32_t position) = 0;
  virtual void SetStatusText(const std::string& text) = 0;
};

// The largest read: a fast link moves 64 KiB a read, a slow one what has arrived.
inline constexpr std::size_t kLargestRead = std::size_t{64} * 1024;

// How long a transfer may receive nothing before it fails by itself.
inline constexpr std::chrono::milliseconds kStallLimit{60000};

// No limit on a body's length but the sink's.
inline constexpr uint64_t kAnyLength = UINT64_MAX;

// The status line after each chunk: "读取 %d bytes (%0.1f Kb/s)\n" once a whole second has
// passed since the transfer began, "读取 %d bytes\n" before; the count is printed whole, past
// 2^31 too.
std::string TransferStatusLine(int64_t received, int32_t wholeSeconds);

// How far right a byte count is shifted so that `total` fits the progress bar's 32-bit range.
int ProgressShift(uint64_t total);

// Whole seconds between two day counts, as the transfer's rate uses them.
int32_t ElapsedWholeSeconds(double startDays, double nowDays);

// How a fetch ended.
enum class FetchEnd {
  kComplete,
  kNotOpened,    // no session, or the address could not be opened
  kBadStatus,    // an answer other than 2xx
  kNoLength,     // no length announced, or not a number
  kTooLong,      // a negative length
  kTooLarge,     // longer than the caller takes
  kNotPromised,  // not the size a signed manifest promises
  kCancelled,    // the page's cancel flag
  kBroken,       // the platform reported a failed read
  kStalled,      // nothing arrived within the session's stall limit
  kEndedEarly,   // the body ended before the announced length
  kNotStored,    // the sink refused the bytes (a failed write)
  kFailed,       // anything else
};

// What the log says about one request.
struct FetchReport {
  int status = 0;
  std::optional<int64_t> announced;
  int64_t received = 0;      // by this request
  uint64_t resumedFrom = 0;  // the bytes kept from an earlier answer, when it continued one
  std::string validator;     // the answer's ETag, else its Last-Modified; empty: neither
  int64_t milliseconds = 0;
  uint32_t error = 0;  // the platform's error code, when it gave one
  FetchEnd end = FetchEnd::kFailed;
};

// One line for the log: the URL, status, announced length, bytes received, milliseconds and
// the platform's error, then how it ended.
std::string DescribeFetch(const std::string& url, const FetchReport& report);

// Where a body goes as it arrives.
class BodySink {
 public:
  virtual ~BodySink() = default;
  // Before the first byte: the body continues the `offset` bytes kept from an earlier answer
  // (0: nothing is kept, whatever the sink held is dropped); `validator` is the answer's (see
  // FetchReport). False fails the fetch.
  virtual bool Begin(uint64_t offset, const std::string& validator) = 0;
  // The next bytes of the body, at most kLargestRead at a time. False fails the fetch.
  virtual bool Add(std::string_view bytes) = 0;
};

struct FetchRequest {
  // Asks only for the rest of a body held in part; the answer decides whether it continues.
  std::optional<platform::ResumePoint> resume;
  // The whole body's size as a signed manifest promises it: another announced size fails
  // before the body is read.
  std::optional<uint64_t> promisedSize;
  // A longer body fails before it is read.
  uint64_t largest = UINT64_MAX;
};

class HttpFetcher {
 public:
  // Every fetch goes through `session`, one request after another.
  HttpFetcher(platform::InternetSession& session, platform::OleDateClock& clock)
      : session_(session), clock_(clock), buffer_(new char[kLargestRead]) {}

  // Fetches `url` (used verbatim) into `sink`. True only when a 2xx answer announced a length
  // within the request's limits and every byte of it arrived and was taken; a 206 continues a
  // resumed body only when its Content-Range starts at the offset asked for and runs to the
  // end, and a 206 that does not or a 416 is asked again whole. Reads never go past the
  // announced length and never hold more than kLargestRead bytes. Never throws. An https
  // address fails on any certificate fault and on a redirect to plain http; nothing asks the
  // user.
  bool Fetch(const std::string& url, const FetchRequest& request, BodySink& sink,
             ProgressSink& progress, const std::atomic<int32_t>& cancel,
             FetchReport& report) noexcept;

  // The same into `block`, for a body of at most `largest` bytes; false with `block` empty.
  bool Fetch(const std::string& url, uint64_t largest, std::vector<char>& block,
             ProgressSink& progress, const std::atomic<int32_t>& cancel,
             FetchReport& report) noexcept;

 private:
  bool Transfer(const std::string& url, const FetchRequest& request, BodySink& sink,
                ProgressSink& progress, const std::atomic<int32_t>& cancel, FetchReport& report);

  platform::InternetSession& session_;
  platform::OleDateClock& clock_;
  std::unique_ptr<char[]> buffer_;  // one read's bytes, passed on to the sink
};

}  // namespace updater
