// What a download page and its worker thread share. The page and the worker each own the
// state block, so a worker that outlives its page (when the page's bounded wait for it runs
// out) touches nothing that is gone; once the page has ended, the worker's results and window
// calls are dropped and it fetches nothing more (a file that had arrived whole is still stored,
// see FileDownloadWorker).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/wizard.h"
#include "net/http_fetcher.h"
#include "platform/internet.h"

namespace ostrel {

class PageWorkerState {
 public:
  // The page's result so far.
  ostrel::Outcome Outcome() const;
  // The worker's result: taken only while the outcome is still Pending and the page has not
  // ended, so a cancel pressed while the worker finishes is not turned into success. True
  // when taken.
  bool Finish(ostrel::Outcome result);
  // The cancel button: Cancelled, and the fetch asked to stop.
  void Cancel();
  // The page has ended (any way): the fetch is asked to stop and nothing the worker does
  // counts any more. Returns the final outcome.
  ostrel::Outcome Detach();
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
  ostrel::Outcome outcome_ = ostrel::Outcome::Pending;
  bool detached_ = false;
  std::vector<std::function<void()>> cancellers_;
  std::atomic<int32_t> cancel_{0};
};

// An internet session of the page, whose transfers end when the page is cancelled or ends; a
// worker may open several. When no session can be made, one that fails every request.
std::unique_ptr<platform::InternetSession> OpenPageSession(platform::InternetClient& client,
                                                           PageWorkerState& state);

// The worker's progress on its way to the page: the worker leaves its latest range, position,
// status text and message, and the page's thread takes whatever is there. Only the latest value
// of each counts, so a worker reporting thousands of chunks a second is never held up by the
// page drawing them. The page is told once; after a take that found something it comes back
// on its own (a timer) until a take finds nothing, so the screen is drawn at the page's pace,
// not once a read.
class ProgressMailbox {
 public:
  struct Update {
    std::optional<int32_t> range;
    std::optional<int32_t> position;
    std::optional<std::string> statusText;
    std::optional<std::string> messageText;
  };

  // Each returns true when the page must be told (nothing was waiting before).
  bool PutRange(int32_t upper);
  bool PutPosition(int32_t position);
  bool PutStatusText(const std::string& text);
  bool PutMessageText(const std::string& text);
  // Everything left since the last take. When that is nothing, the next Put tells the page
  // again; otherwise the page is not told and must take again.
  Update Take();

 private:
  bool MarkWaiting();

  std::mutex mutex_;
  Update waiting_;
  bool told_ = false;
};

// A page's windows as its worker sees them. No call waits for the page's thread, and every
// call is dropped once the page has ended.
class PageView : public ProgressSink {
 public:
  explicit PageView(std::shared_ptr<PageWorkerState> state) : state_(std::move(state)) {}

  void SetRange(int32_t upper) final;
  void SetPosition(int32_t position) final;
  void SetStatusText(const std::string& text) final;
  // The page's message line (IDC_PAGE_MESSAGE).
  void SetMessageText(const std::string& text);
  // Asks the page to end itself on its own thread at the first tick of timer 100.
  void RequestEndTimer();

  PageWorkerState& state() { return *state_; }

 protected:
  virtual void DoSetRange(int32_t upper) = 0;
  virtual void DoSetPosition(int32_t position) = 0;
  virtual void DoSetStatusText(const std::string& text) = 0;
  virtual void DoSetMessageText(const std::string& text) = 0;
  virtual void DoRequestEndTimer() = 0;

 private:
  std::shared_ptr<PageWorkerState> state_;
};

}  // namespace ostrel
