// What a download page and its worker thread share. The page and the worker each own the
// state block, so a worker that outlives its page (the page may end while a transfer still
// runs) touches nothing that is gone; once the page has ended, the worker's results and window
// calls are dropped.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "app/wizard.h"
#include "net/http_fetcher.h"

namespace ostrel {

class PageWorkerState {
 public:
  // The page's result so far.
  int32_t Outcome() const;
  // The worker's result: taken only while the outcome is still Pending and the page has not
  // ended, so a cancel pressed while the worker finishes is not turned into success. True
  // when taken.
  bool Finish(int32_t result);
  // The cancel button: Cancelled, and the fetch asked to stop.
  void Cancel();
  // The page has ended (any way): the fetch is asked to stop and nothing the worker does
  // counts any more. Returns the final outcome.
  int32_t Detach();
  bool Detached() const;
  // Tested by the fetch before every read.
  const std::atomic<int32_t>& CancelFlag() const { return cancel_; }

 private:
  mutable std::mutex mutex_;
  int32_t outcome_ = Pending;
  bool detached_ = false;
  std::atomic<int32_t> cancel_{0};
};

// The worker's progress on its way to the page: the worker leaves its latest range, position,
// status text and message, and the page's thread takes whatever is there. Only the latest value of
// each counts, so a worker reporting thousands of chunks a second is never held up by the
// page drawing them.
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
  // Everything left since the last take; the next Put tells the page again.
  Update Take();

 private:
  bool MarkWaiting();

  std::mutex mutex_;
  Update waiting_;
  bool told_ = false;
};

// A page's windows as its worker sees them. Every call is a synchronous call into the page's
// user-interface thread, and is dropped once the page has ended.
class PageView : public ProgressSink {
 public:
  explicit PageView(std::shared_ptr<PageWorkerState> state) : state_(std::move(state)) {}

  void SetRange(int32_t upper) final;
  void SetPosition(int32_t position) final;
  void SetStatusText(const std::string& text) final;
  // The page's message line (control 1068).
  void SetMessageText(const std::string& text);
  // Asks the page to end itself on its own thread at the first tick of timer 100.
  void RequestEndTimer();
  // The page's file list (control 1066): its number of rows and the text of a row's first
  // column; 0 and "" once the page has ended.
  int32_t RowCount();
  std::string RowText(int32_t row);

  PageWorkerState& state() { return *state_; }

 protected:
  virtual void DoSetRange(int32_t upper) = 0;
  virtual void DoSetPosition(int32_t position) = 0;
  virtual void DoSetStatusText(const std::string& text) = 0;
  virtual void DoSetMessageText(const std::string& text) = 0;
  virtual void DoRequestEndTimer() = 0;
  // A page without a file list has no rows.
  virtual int32_t DoRowCount() { return 0; }
  virtual std::string DoRowText(int32_t /*row*/) { return {}; }

 private:
  std::shared_ptr<PageWorkerState> state_;
};

}  // namespace ostrel
