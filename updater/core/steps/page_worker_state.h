// What a download page and its worker thread share. The page and the worker each own the
// state block, so a worker that outlives its page touches nothing that is gone; once the page
// has ended, the worker's results and window calls are dropped and it fetches nothing more (a
// file that had arrived whole is still stored, see FileDownloadWorker).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/internet.h"

namespace updater {

// The result field of the download pages (ConnectPage, FileListPage). Only Succeeded lets the
// wizard go on.
enum class Outcome : int32_t {
  Pending = 0,    // at construction; stays when the page closes before its work ended
  Succeeded = 1,  // the page's work completed
  Cancelled = 4,  // the user pressed the page's cancel button
  Failed = 5,     // the page's work failed
};

class PageWorkerState {
 public:
  // The page's result so far.
  updater::Outcome Outcome() const;
  // The worker's result: taken only while the outcome is still Pending and the page has not
  // ended, so a cancel pressed while the worker finishes is not turned into success. True
  // when taken.
  bool Finish(updater::Outcome result);
  // The cancel button: Cancelled, and the fetch asked to stop.
  void Cancel();
  // The page has ended (any way): the fetch is asked to stop and nothing the worker does
  // counts any more. Returns the final outcome.
  updater::Outcome Detach();
  bool Detached() const;
  // Tested by the fetch before every read.
  const std::atomic<int32_t>& CancelFlag() const { return cancel_; }
  // Adds what ends one of the worker's sessions (its canceller): every canceller added runs on
  // Cancel and Detach, or at once when one of them came first.
  void AddCanceller(const std::function<void()>& canceller);

  // Whether the connect page's worker may store the manifest it fetched: not once the page was
  // cancelled or has ended, so the wizard never goes on from a manifest it did not wait for.
  bool MayStore() const;

 private:
  // Raises the flag and takes the cancellers to run outside the lock.
  std::vector<std::function<void()>> StopLocked();

  mutable std::mutex mutex_;
  updater::Outcome outcome_ = updater::Outcome::Pending;
  bool detached_ = false;
  std::vector<std::function<void()>> cancellers_;
  std::atomic<int32_t> cancel_{0};
};

// An internet session of the page, whose transfers end when the page is cancelled or ends; a
// worker may open several. When no session can be made, one that fails every request.
std::unique_ptr<platform::InternetSession> OpenPageSession(platform::InternetClient& client,
                                                           PageWorkerState& state);

}  // namespace updater
