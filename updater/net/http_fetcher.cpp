#include "http_fetcher.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <new>

namespace ostrel {

namespace {

constexpr double kSecondsPerDay = 86400.0;
// Half a second in days, added to a count of seconds: a bias small enough that it only
// absorbs the rounding of two day counts taken in whole seconds.
constexpr double kSecondBias = 5.787037037037037e-6;

// "读取 " in GBK.
#define TAVREL_READ_PREFIX "\xb6\xc1\xc8\xa1 "

}  // namespace

int32_t ElapsedWholeSeconds(double startDays, double nowDays) {
  const double seconds = (nowDays - startDays) * kSecondsPerDay + kSecondBias;
  if (!(seconds < static_cast<double>(std::numeric_limits<int32_t>::max()))) {
    return std::numeric_limits<int32_t>::max();
  }
  return static_cast<int32_t>(std::trunc(seconds));
}

std::string TransferStatusLine(int32_t received, int32_t wholeSeconds) {
  char line[96];
  if (wholeSeconds > 0) {
    const float rate =
        static_cast<float>(received) * (1.0f / 1024.0f) / static_cast<float>(wholeSeconds);
    std::snprintf(line, sizeof line, TAVREL_READ_PREFIX "%d bytes (%0.1f Kb/s)\n", received,
                  static_cast<double>(rate));
  } else {
    std::snprintf(line, sizeof line, TAVREL_READ_PREFIX "%d bytes\n", received);
  }
  return line;
}

bool HttpFetcher::Fetch(const std::string& url, std::vector<char>& block, ProgressSink& progress,
                        const std::atomic<int32_t>& cancel) noexcept {
  try {
    if (Transfer(url, block, progress, cancel)) return true;
  } catch (...) {
    // A failure of any kind, the session's creation included, is a failed fetch.
  }
  std::vector<char>().swap(block);
  return false;
}

bool HttpFetcher::Transfer(const std::string& url, std::vector<char>& block, ProgressSink& progress,
                           const std::atomic<int32_t>& cancel) {
  const std::unique_ptr<platform::InternetSession> session = client_.OpenSession();
  if (!session) return false;
  const std::unique_ptr<platform::InternetResource> resource = session->OpenUrl(url);
  if (!resource) return false;
  // An error page is not the resource: storing it would pass a 404 off as the manifest.
  const int status = resource->StatusCode();
  if (status < 200 || status > 299) return false;
  const std::optional<int64_t> announced = resource->ContentLength();
  if (!announced || *announced < 0 || *announced > std::numeric_limits<int32_t>::max()) {
    return false;
  }
  const int32_t length = static_cast<int32_t>(*announced);
  progress.SetRange(length);

  std::vector<char>().swap(block);
  try {
    block.assign(static_cast<std::size_t>(length), '\0');
  } catch (const std::bad_alloc&) {
    return false;  // before any read
  }

  const double start = clock_.NowInDays();
  int32_t received = 0;
  while (cancel.load() == 0 && received < length) {
    const std::size_t wanted = std::min(static_cast<std::size_t>(length - received), kLargestRead);
    const std::optional<std::size_t> copied = resource->Read(block.data() + received, wanted);
    if (!copied || *copied > wanted) return false;
    if (*copied == 0) break;
    received += static_cast<int32_t>(*copied);
    progress.SetPosition(received);
    progress.SetStatusText(
        TransferStatusLine(received, ElapsedWholeSeconds(start, clock_.NowInDays())));
  }
  return received == length;
}

}  // namespace ostrel
