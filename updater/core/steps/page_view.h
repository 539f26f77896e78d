// A page's windows as its worker sees them, and the mailbox that carries the worker's progress
// to the page's thread.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "net/http_fetcher.h"
#include "steps/page_worker_state.h"

namespace updater {

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
  template <typename Value>
  bool Put(std::optional<Value> Update::*slot, Value value);

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

}  // namespace updater
