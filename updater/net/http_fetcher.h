// Downloads one resource into memory while it drives a progress bar and a status line and
// watches a cancel flag. Runs on a worker thread; shows nothing itself.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/day_clock.h"
#include "platform/internet.h"

namespace ostrel {

// Where a fetch reports its progress: a progress bar and a status text on a page. Each call
// is served by the page's user-interface thread and returns once it has been handled.
class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void SetRange(int32_t upper) = 0;  // lower bound 0
  virtual void SetPosition(int32_t position) = 0;
  virtual void SetStatusText(const std::string& text) = 0;
};

inline constexpr std::size_t kLargestRead = 2048;

// The status line after each chunk: "读取 %d bytes (%0.1f Kb/s)\n" once a whole second has
// passed since the transfer began, "读取 %d bytes\n" before.
std::string TransferStatusLine(int32_t received, int32_t wholeSeconds);

// Whole seconds between two day counts, as the transfer's rate uses them.
int32_t ElapsedWholeSeconds(double startDays, double nowDays);

class HttpFetcher {
 public:
  HttpFetcher(platform::InternetClient& client, platform::DayClock& clock)
      : client_(client), clock_(clock) {}

  // Fetches `url` (used verbatim) into `block`, sized by the length the server announced.
  // True only when a 2xx answer announced a length that fits a signed 32-bit count and every
  // byte of it arrived; otherwise false with `block` empty. Never throws. An https address
  // fails on any certificate fault and on a redirect to plain http; nothing asks the user.
  bool Fetch(const std::string& url, std::vector<char>& block, ProgressSink& progress,
             const std::atomic<int32_t>& cancel) noexcept;

 private:
  bool Transfer(const std::string& url, std::vector<char>& block, ProgressSink& progress,
                const std::atomic<int32_t>& cancel);

  platform::InternetClient& client_;
  platform::DayClock& clock_;
};

}  // namespace ostrel
