// A wizard page that runs one worker thread: the connect page and the file-list page. The page
// starts the worker from its initialisation; the worker reports through a PageView (progress
// and messages by mailbox, list reads by synchronous window calls) and asks the page to end
// itself through timer 100. Every way the page ends raises the cancel flag and detaches the
// worker, which may outlive the page.
#pragma once

#include <functional>
#include <memory>

#include "pages/page_worker.h"
#include "ui/dialog.h"
#include "win32/handles.h"

namespace ostrel {

class WorkerPage : public Dialog {
 public:
  // The worker's body, run on its own thread with the page's view.
  using Work = std::function<void(PageView&)>;

  WorkerPage(int templateId, Work work);
  ~WorkerPage() override;

  // The result the wizard reads once the run has returned.
  int32_t outcome() const { return finalOutcome_; }

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int notifyCode) override;
  void OnTimer(UINT_PTR timerId) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

 private:
  void CancelButton();
  void End(INT_PTR result);

  Work work_;
  void ApplyProgress();

  std::shared_ptr<PageWorkerState> state_ = std::make_shared<PageWorkerState>();
  std::shared_ptr<ProgressMailbox> progress_ = std::make_shared<ProgressMailbox>();
  platform::win32::UniqueHandle worker_;
  int32_t finalOutcome_ = Pending;
};

}  // namespace ostrel
