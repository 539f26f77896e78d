#include "http_fetcher.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <new>

#include "platform/catch_all.h"

namespace ostrel {

namespace {

constexpr double kSecondsPerDay = 86400.0;
// Half a second in days, added to a count of seconds: a bias small enough that it only
// absorbs the rounding of two day counts taken in whole seconds.
constexpr double kSecondBias = 5.787037037037037e-6;

// "读取 " in GBK.
#define TAVREL_READ_PREFIX "\xb6\xc1\xc8\xa1 "

const char* FetchEndText(FetchEnd end) {
  switch (end) {
    case FetchEnd::kComplete:
      return "complete";
    case FetchEnd::kNotOpened:
      return "not opened";
    case FetchEnd::kBadStatus:
      return "refused: not a 2xx answer";
    case FetchEnd::kNoLength:
      return "refused: no length announced";
    case FetchEnd::kTooLong:
      return "refused: length out of range";
    case FetchEnd::kNoMemory:
      return "no memory for the announced length";
    case FetchEnd::kCancelled:
      return "cancelled";
    case FetchEnd::kBroken:
      return "transfer broken";
    case FetchEnd::kEndedEarly:
      return "body ended before the announced length";
    case FetchEnd::kFailed:
      break;
  }
  return "failed";
}

// The WinInet errors a person helping a reader meets most.
const char* InternetErrorName(uint32_t error) {
  switch (error) {
    case 12002:
      return "timed out";
    case 12005:
      return "invalid URL";
    case 12006:
      return "unrecognized scheme";
    case 12007:
      return "name not resolved";
    case 12017:
      return "operation cancelled";
    case 12029:
      return "cannot connect";
    case 12030:
      return "connection aborted";
    case 12031:
      return "connection reset";
    case 12152:
      return "invalid server response";
    default:
      return nullptr;
  }
}

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

std::string DescribeFetch(const std::string& url, const FetchReport& report) {
  char numbers[160];
  const std::string length = report.announced ? std::to_string(*report.announced) : "none";
  std::snprintf(
      numbers, sizeof numbers, ": status %d, length %s, received %lld, %lld ms, error %lu",
      report.status, length.c_str(), static_cast<long long>(report.received),
      static_cast<long long>(report.milliseconds), static_cast<unsigned long>(report.error));
  std::string line = "GET " + url + numbers;
  if (const char* name = InternetErrorName(report.error)) line += std::string(" (") + name + ")";
  return line + ": " + FetchEndText(report.end);
}

bool HttpFetcher::Fetch(const std::string& url, std::vector<char>& block, ProgressSink& progress,
                        const std::atomic<int32_t>& cancel, FetchReport& report) noexcept {
  const auto start = std::chrono::steady_clock::now();
  report = FetchReport{};  // its end stays kFailed when the transfer throws
  const bool complete =
      platform::CatchAll(false, [&] { return Transfer(url, block, progress, cancel, report); });
  report.milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - start)
                            .count();
  if (complete) {
    report.end = FetchEnd::kComplete;
    return true;
  }
  if (report.end != FetchEnd::kCancelled && cancel.load() != 0) report.end = FetchEnd::kCancelled;
  std::vector<char>().swap(block);
  return false;
}

bool HttpFetcher::Transfer(const std::string& url, std::vector<char>& block, ProgressSink& progress,
                           const std::atomic<int32_t>& cancel, FetchReport& report) {
  const auto failed = [&](FetchEnd end) {
    report.end = end;
    // Only a call the platform refused has an error of its own; an earlier request's would
    // mislead.
    if (end == FetchEnd::kNotOpened || end == FetchEnd::kBroken) {
      report.error = session_.LastError();
    }
    return false;
  };
  const std::unique_ptr<platform::InternetResource> resource = session_.OpenUrl(url);
  if (!resource) return failed(FetchEnd::kNotOpened);
  // An error page is not the resource: storing it would pass a 404 off as the manifest.
  report.status = resource->StatusCode();
  report.announced = resource->ContentLength();
  if (report.status < 200 || report.status > 299) return failed(FetchEnd::kBadStatus);
  if (!report.announced) return failed(FetchEnd::kNoLength);
  if (*report.announced < 0 || *report.announced > std::numeric_limits<int32_t>::max()) {
    return failed(FetchEnd::kTooLong);
  }
  const int32_t length = static_cast<int32_t>(*report.announced);
  progress.SetRange(length);

  std::vector<char>().swap(block);
  try {
    block.assign(static_cast<std::size_t>(length), '\0');
  } catch (const std::bad_alloc&) {
    return failed(FetchEnd::kNoMemory);  // before any read
  }

  const double start = clock_.NowInDays();
  int32_t received = 0;
  bool waited = false;  // the last step waited for data to arrive
  while (cancel.load() == 0 && received < length) {
    // Each read takes what has arrived, at most 64 KiB and never more than is missing: a slow
    // link still shows every few hundred bytes, a fast one moves 64 KiB a read.
    const std::size_t wanted = std::min(static_cast<std::size_t>(length - received), kLargestRead);
    const std::optional<std::size_t> copied = resource->Read(block.data() + received, wanted);
    if (!copied || *copied > wanted) return failed(FetchEnd::kBroken);
    if (*copied == 0) {
      // Nothing there: wait until something is. Data announced by the wait and then not
      // delivered ends the transfer instead of a loop of empty reads.
      if (waited) break;
      const std::optional<std::size_t> available = resource->Available();
      if (!available) return failed(FetchEnd::kBroken);
      if (*available == 0) break;
      waited = true;
      continue;
    }
    waited = false;
    received += static_cast<int32_t>(*copied);
    report.received = received;
    progress.SetPosition(received);
    progress.SetStatusText(
        TransferStatusLine(received, ElapsedWholeSeconds(start, clock_.NowInDays())));
  }
  if (received == length) return true;
  return failed(cancel.load() != 0 ? FetchEnd::kCancelled : FetchEnd::kEndedEarly);
}

}  // namespace ostrel
