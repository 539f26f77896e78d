// Work run on a thread of its own, one piece at a time, in the order it was handed over. The
// file-list worker hands it everything about a fetched file but the fetch (its check, its
// store, its record, its log lines and texts) and goes on to fetch the next file: the store's
// fixed cost per file, a flush, a rename and two record writes under Wine, then no longer adds
// to every request, and what the page and the log show keeps the order of the files.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace updater {

class OrderedLane {
 public:
  OrderedLane();
  // Runs what was handed over and not yet run, then ends the thread.
  ~OrderedLane();
  OrderedLane(const OrderedLane&) = delete;
  OrderedLane& operator=(const OrderedLane&) = delete;

  // A piece that throws ends as if it had returned.
  void Post(std::function<void()> work);
  // Returns once everything handed over so far has run.
  void WaitIdle();

 private:
  void Run();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::function<void()>> waiting_;
  bool running_ = false;
  bool closing_ = false;
  std::thread thread_;  // last: it starts once the members above exist
};

}  // namespace updater
