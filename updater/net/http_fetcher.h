// Downloads one resource into memory while it drives a progress bar and a status line and
// watches a cancel flag. Runs on a worker thread; shows nothing itself.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/day_clock.h"
#include "platform/internet.h"

namespace ostrel {

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

// The status line after each chunk: "读取 %d bytes (%0.1f Kb/s)\n" once a whole second has
// passed since the transfer began, "读取 %d bytes\n" before.
std::string TransferStatusLine(int32_t received, int32_t wholeSeconds);

// Whole seconds between two day counts, as the transfer's rate uses them.
int32_t ElapsedWholeSeconds(double startDays, double nowDays);

// How a fetch ended.
enum class FetchEnd {
  kComplete,
  kNotOpened,   // no session, or the address could not be opened
  kBadStatus,   // an answer other than 2xx
  kNoLength,    // no length announced, or not a number
  kTooLong,     // negative or past a signed 32-bit count
  kNoMemory,    // no block of the announced length
  kCancelled,   // the page's cancel flag
  kBroken,      // the platform reported a failed read
  kEndedEarly,  // the body ended before the announced length
  kFailed,      // anything else
};

// What the log says about one request.
struct FetchReport {
  int status = 0;
  std::optional<int64_t> announced;
  int64_t received = 0;
  int64_t milliseconds = 0;
  uint32_t error = 0;  // the platform's error code, when it gave one
  FetchEnd end = FetchEnd::kFailed;
};

// One line for the log: the URL, status, announced length, bytes received, milliseconds and
// the platform's error, then how it ended.
std::string DescribeFetch(const std::string& url, const FetchReport& report);

class HttpFetcher {
 public:
  // Every fetch goes through `session`, one request after another.
  HttpFetcher(platform::InternetSession& session, platform::DayClock& clock)
      : session_(session), clock_(clock) {}

  // Fetches `url` (used verbatim) into `block`, sized by the length the server announced.
  // True only when a 2xx answer announced a length that fits a signed 32-bit count and every
  // byte of it arrived; otherwise false with `block` empty. Never throws. An https address
  // fails on any certificate fault and on a redirect to plain http; nothing asks the user.
  bool Fetch(const std::string& url, std::vector<char>& block, ProgressSink& progress,
             const std::atomic<int32_t>& cancel, FetchReport& report) noexcept;

 private:
  bool Transfer(const std::string& url, std::vector<char>& block, ProgressSink& progress,
                const std::atomic<int32_t>& cancel, FetchReport& report);

  platform::InternetSession& session_;
  platform::DayClock& clock_;
};

}  // namespace ostrel
