// Fetches run side by side, so that a link's round trip is waited for once per few files instead
// of once per file, while the page still shows one file at a time.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "net/http_fetcher.h"
#include "platform/internet.h"
#include "platform/ole_date_clock.h"
#include "steps/page_view.h"

namespace updater {

// A fetch's progress on its way to the page: kept quietly until the fetch becomes the one the
// page shows, then its latest range, position and status line go first and every later report
// goes straight on. Only the earliest unfinished file reports, so the bar and the status line
// never mix two files.
class HeadProgress final : public ProgressSink {
 public:
  explicit HeadProgress(ProgressSink& page) : page_(page) {}

  void SetRange(int32_t upper) override;
  void SetPosition(int32_t position) override;
  void SetStatusText(const std::string& text) override;
  // From now on this fetch is the one the page shows.
  void BecomeHead();

 private:
  std::mutex mutex_;
  ProgressSink& page_;
  bool head_ = false;
  std::optional<int32_t> range_;
  std::optional<int32_t> position_;
  std::optional<std::string> statusText_;
};

// Up to `size` threads that run fetch jobs in the order they were handed over, each thread
// through an internet session of its own (opened, with the stall limit, when it takes its first
// job), so that one request waiting for the network holds up no other. Every session is the
// page's (OpenPageSession): the page's cancel ends the transfers of all of them.
class FetchCrew {
 public:
  // Runs on a crew thread; `fetcher` is that thread's, null when it has no session.
  using Job = std::function<void(HttpFetcher* fetcher)>;

  FetchCrew(std::size_t size, platform::InternetClient& client, platform::OleDateClock& clock,
            PageWorkerState& state, std::chrono::milliseconds stallLimit);
  // Runs what was handed over and not yet run, then ends the threads.
  ~FetchCrew();
  FetchCrew(const FetchCrew&) = delete;
  FetchCrew& operator=(const FetchCrew&) = delete;

  // A job that throws ends as if it had returned.
  void Hand(Job job);

 private:
  void Run();

  const std::size_t size_;
  platform::InternetClient& client_;
  platform::OleDateClock& clock_;
  PageWorkerState& state_;
  const std::chrono::milliseconds stallLimit_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Job> waiting_;
  std::size_t idle_ = 0;
  bool closing_ = false;
  std::vector<std::thread> threads_;  // only the thread that hands jobs over adds to it
};

}  // namespace updater
