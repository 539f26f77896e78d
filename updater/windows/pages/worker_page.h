// A wizard page that runs one worker thread: the connect page and the file-list page. The page
// starts the worker from its initialisation; the worker reports through a PageView (progress
// and messages by mailbox) and asks the page to end itself through timer 100. Every way the
// page ends (its own end, the cancel button, Esc, the close box) the same way: it raises the
// cancel flag, cancels the transfer in progress (the worker stops waiting on the network at
// once) and detaches the worker, which then fetches nothing more. The page does not wait for
// the worker: a store it has begun (a flush of a large file takes seconds) goes on after the
// page, and the program waits for it before it ends (WaitForPageWorkers).
#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include "steps/page_view.h"
#include "ui/dialog.h"
#include "win32/handles.h"

namespace updater {

// Waits until the workers of ended pages have finished, at most `bound` in all; run once the
// wizard is over, so that the program never ends in the middle of a store. True when all ended.
bool WaitForPageWorkers(std::chrono::milliseconds bound);

class WorkerPage : public Dialog {
 public:
  // The worker's body, run on its own thread with the page's view.
  using Work = std::function<void(PageView&)>;

  WorkerPage(int templateId, Work work);
  ~WorkerPage() override;

  // Posted by the worker to its page once it has succeeded: the page then starts timer 100
  // (SetTimer works only for the windows of the calling thread).
  static constexpr UINT kEndRequestMessage = WM_APP + 1;

  // The result the wizard reads once the run has returned.
  Outcome outcome() const { return finalOutcome_; }

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int notifyCode) override;
  void OnTimer(UINT_PTR timerId) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
  // For a page whose work depends on what its initialisation found, before the worker starts.
  void SetWork(Work work) { work_ = std::move(work); }

 private:
  void End(INT_PTR result);
  void ApplyProgress();

  Work work_;
  std::shared_ptr<PageWorkerState> state_ = std::make_shared<PageWorkerState>();
  std::shared_ptr<ProgressMailbox> progress_ = std::make_shared<ProgressMailbox>();
  platform::win32::UniqueHandle worker_;
  Outcome finalOutcome_ = Outcome::Pending;
};

}  // namespace updater
