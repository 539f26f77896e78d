#include "http_fetcher.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>

#include "platform/catch_all.h"
#include "user_texts.h"

namespace updater {

namespace {

constexpr double kSecondsPerDay = 86400.0;
// Half a second in days, added to a count of seconds: a bias small enough that it only
// absorbs the rounding of two day counts taken in whole seconds.
constexpr double kSecondBias = 5.787037037037037e-6;

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
    case FetchEnd::kTooLarge:
      return "refused: longer than allowed";
    case FetchEnd::kNotPromised:
      return "refused: not the size the signed manifest promises";
    case FetchEnd::kCancelled:
      return "cancelled";
    case FetchEnd::kBroken:
      return "transfer broken";
    case FetchEnd::kStalled:
      return "stalled";
    case FetchEnd::kEndedEarly:
      return "body ended before the announced length";
    case FetchEnd::kNotStored:
      return "not stored: the write failed";
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

// Whether a 206's Content-Range ("bytes N-M/T") is the rest of the body from `offset` on, of
// the announced length.
bool ContinuesAt(const std::optional<std::string>& range, uint64_t offset, int64_t announced) {
  unsigned long long first = 0;
  unsigned long long last = 0;
  unsigned long long total = 0;
  char end = 0;
  if (!range ||
      std::sscanf(range->c_str(), "bytes %llu-%llu/%llu%c", &first, &last, &total, &end) != 3) {
    return false;
  }
  return first == offset && last >= first && last + 1 == total &&
         static_cast<int64_t>(last - first + 1) == announced;
}

// Keeps a body in a block that never grows past the fetch's limit.
class BlockSink final : public BodySink {
 public:
  explicit BlockSink(std::vector<char>& block) : block_(block) {}
  bool Begin(uint64_t /*offset*/, const std::string& /*validator*/) override {
    block_.clear();
    return true;
  }
  bool Add(std::string_view bytes) override {
    block_.insert(block_.end(), bytes.begin(), bytes.end());
    return true;
  }

 private:
  std::vector<char>& block_;
};

}  // namespace

int ProgressShift(uint64_t total) {
  int shift = 0;
  while ((total >> shift) > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) ++shift;
  return shift;
}

int32_t ElapsedWholeSeconds(double startDays, double nowDays) {
  const double seconds = (nowDays - startDays) * kSecondsPerDay + kSecondBias;
  if (!(seconds < static_cast<double>(std::numeric_limits<int32_t>::max()))) {
    return std::numeric_limits<int32_t>::max();
  }
  return static_cast<int32_t>(std::trunc(seconds));
}

std::string TransferStatusLine(int64_t received, int32_t wholeSeconds) {
  char line[96];
  const auto count = static_cast<long long>(received);
  if (wholeSeconds > 0) {
    const float rate =
        static_cast<float>(received) * (1.0f / 1024.0f) / static_cast<float>(wholeSeconds);
    std::snprintf(line, sizeof line, "%s%lld bytes (%0.1f Kb/s)\n", texts::kTransferRead, count,
                  static_cast<double>(rate));
  } else {
    std::snprintf(line, sizeof line, "%s%lld bytes\n", texts::kTransferRead, count);
  }
  return line;
}

std::string DescribeFetch(const std::string& url, const FetchReport& report) {
  char numbers[192];
  const std::string length = report.announced ? std::to_string(*report.announced) : "none";
  std::snprintf(
      numbers, sizeof numbers, ": status %d, length %s, received %lld, %lld ms, error %lu",
      report.status, length.c_str(), static_cast<long long>(report.received),
      static_cast<long long>(report.milliseconds), static_cast<unsigned long>(report.error));
  std::string line = "GET " + url + numbers;
  if (report.resumedFrom > 0) {
    line += ", continued after " + std::to_string(report.resumedFrom) + " bytes kept";
  }
  if (const char* name = InternetErrorName(report.error)) line += std::string(" (") + name + ")";
  return line + ": " + FetchEndText(report.end);
}

bool HttpFetcher::Fetch(const std::string& url, const FetchRequest& request, BodySink& sink,
                        ProgressSink& progress, const std::atomic<int32_t>& cancel,
                        FetchReport& report) noexcept {
  const auto start = std::chrono::steady_clock::now();
  report = FetchReport{};  // its end stays kFailed when the transfer throws
  const bool complete = platform::CatchAll(
      false, [&] { return Transfer(url, request, sink, progress, cancel, report); });
  report.milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - start)
                            .count();
  if (complete) {
    report.end = FetchEnd::kComplete;
    return true;
  }
  if (report.end != FetchEnd::kCancelled && cancel.load() != 0) report.end = FetchEnd::kCancelled;
  return false;
}

bool HttpFetcher::Fetch(const std::string& url, uint64_t largest, std::vector<char>& block,
                        ProgressSink& progress, const std::atomic<int32_t>& cancel,
                        FetchReport& report) noexcept {
  BlockSink sink(block);
  FetchRequest request;
  request.largest = largest;
  if (Fetch(url, request, sink, progress, cancel, report)) return true;
  std::vector<char>().swap(block);
  return false;
}

bool HttpFetcher::Transfer(const std::string& url, const FetchRequest& request, BodySink& sink,
                           ProgressSink& progress, const std::atomic<int32_t>& cancel,
                           FetchReport& report) {
  const auto failed = [&](FetchEnd end) {
    // Only a call the platform refused has an error of its own; an earlier request's would
    // mislead.
    if (end == FetchEnd::kNotOpened || end == FetchEnd::kBroken) {
      report.error = session_.LastError();
      if (report.error == platform::kStalledError) end = FetchEnd::kStalled;
    }
    report.end = end;
    return false;
  };
  std::unique_ptr<platform::InternetResource> resource = session_.Open(url, request.resume);
  if (!resource) return failed(FetchEnd::kNotOpened);
  report.status = resource->StatusCode();
  report.announced = resource->ContentLength();
  if (request.resume && report.status == 206 && report.announced &&
      ContinuesAt(resource->Header("Content-Range"), request.resume->offset, *report.announced)) {
    report.resumedFrom = request.resume->offset;
  } else if (request.resume && (report.status == 206 || report.status == 416)) {
    // Not the rest asked for: the whole body, once more.
    resource.reset();
    resource = session_.Open(url, std::nullopt);
    if (!resource) return failed(FetchEnd::kNotOpened);
    report.status = resource->StatusCode();
    report.announced = resource->ContentLength();
  }
  // An error page is not the resource: storing it would pass a 404 off as the manifest.
  if (report.status < 200 || report.status > 299) return failed(FetchEnd::kBadStatus);
  if (!report.announced) return failed(FetchEnd::kNoLength);
  if (*report.announced < 0) return failed(FetchEnd::kTooLong);
  const uint64_t length = static_cast<uint64_t>(*report.announced);
  const uint64_t total = report.resumedFrom + length;
  // Decided before the body is read: a server cannot make the process read more than the
  // caller takes, nor more than a signed manifest promises.
  if (request.promisedSize && total != *request.promisedSize) {
    return failed(FetchEnd::kNotPromised);
  }
  if (total < length || total > request.largest) return failed(FetchEnd::kTooLarge);
  report.validator = resource->Header("ETag").value_or("");
  if (report.validator.empty()) report.validator = resource->Header("Last-Modified").value_or("");
  if (!sink.Begin(report.resumedFrom, report.validator)) return failed(FetchEnd::kNotStored);

  const int shift = ProgressShift(total);
  progress.SetRange(static_cast<int32_t>(total >> shift));
  if (report.resumedFrom > 0)
    progress.SetPosition(static_cast<int32_t>(report.resumedFrom >> shift));
  const double start = clock_.NowAsOleDate();
  uint64_t received = 0;
  bool waited = false;  // the last step waited for data to arrive
  while (cancel.load() == 0 && received < length) {
    // Each read takes what has arrived, at most 64 KiB and never more than is missing: a slow
    // link still shows every few hundred bytes, a fast one moves 64 KiB a read.
    const std::size_t wanted =
        static_cast<std::size_t>(std::min<uint64_t>(length - received, kLargestRead));
    const std::optional<std::size_t> copied = resource->Read(buffer_.get(), wanted);
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
    if (!sink.Add(std::string_view(buffer_.get(), *copied))) return failed(FetchEnd::kNotStored);
    received += *copied;
    report.received = static_cast<int64_t>(received);
    progress.SetPosition(static_cast<int32_t>((report.resumedFrom + received) >> shift));
    progress.SetStatusText(TransferStatusLine(static_cast<int64_t>(received),
                                              ElapsedWholeSeconds(start, clock_.NowAsOleDate())));
  }
  if (received == length) return true;
  return failed(cancel.load() != 0 ? FetchEnd::kCancelled : FetchEnd::kEndedEarly);
}

}  // namespace updater
