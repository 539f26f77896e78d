#include "pages/worker_page.h"

#include <commctrl.h>

#include <vector>

#include "platform/catch_all.h"
#include "res/resource.h"

namespace updater {

namespace {

constexpr UINT_PTR kEndTimer = 100;
constexpr UINT kEndTimerPeriodMs = 100;
// Posted by the worker when progress waits in the mailbox. A synchronous call per chunk would
// cost more than the chunk's read (over a millisecond for the two calls under Wine).
constexpr UINT kProgressMessage = WM_APP + 2;
// While progress keeps coming, the page takes it at this pace: twenty times a second is all
// anyone sees, and drawing once a read took the CPU the transfer needs.
constexpr UINT_PTR kProgressTimer = 101;
constexpr UINT kProgressPeriodMs = 50;

// The page's windows, as the worker reaches them: through the mailbox and posted messages, so
// the worker never waits for the page's thread.
class DialogPageView final : public PageView {
 public:
  DialogPageView(std::shared_ptr<PageWorkerState> state, std::shared_ptr<ProgressMailbox> mailbox,
                 HWND page)
      : PageView(std::move(state)), mailbox_(std::move(mailbox)), page_(page) {}

 protected:
  void DoSetRange(int32_t upper) override { Tell(mailbox_->PutRange(upper)); }
  void DoSetPosition(int32_t position) override { Tell(mailbox_->PutPosition(position)); }
  void DoSetStatusText(const std::string& text) override { Tell(mailbox_->PutStatusText(text)); }
  void DoSetMessageText(const std::string& text) override { Tell(mailbox_->PutMessageText(text)); }
  void DoRequestEndTimer() override { PostMessageA(page_, WorkerPage::kEndRequestMessage, 0, 0); }

 private:
  void Tell(bool needed) {
    if (needed) PostMessageA(page_, kProgressMessage, 0, 0);
  }

  std::shared_ptr<ProgressMailbox> mailbox_;
  HWND page_;
};

struct WorkerStart {
  WorkerPage::Work work;
  std::unique_ptr<DialogPageView> view;
};

DWORD WINAPI WorkerThread(void* argument) {
  const std::unique_ptr<WorkerStart> start(static_cast<WorkerStart*>(argument));
  const bool ran = platform::CatchAll(false, [&start] {
    start->work(*start->view);
    return true;
  });
  if (!ran) start->view->state().Finish(Outcome::Failed);  // a worker that throws has failed
  return 0;
}

// The workers of ended pages that were still running; touched only on the wizard's thread.
std::vector<platform::win32::UniqueHandle>& UnfinishedWorkers() {
  static std::vector<platform::win32::UniqueHandle> workers;
  return workers;
}

}  // namespace

bool WaitForPageWorkers(std::chrono::milliseconds bound) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  bool allEnded = true;
  for (platform::win32::UniqueHandle& worker : UnfinishedWorkers()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    const DWORD wait = left.count() > 0 ? static_cast<DWORD>(left.count()) : 0;
    allEnded = WaitForSingleObject(worker.get(), wait) == WAIT_OBJECT_0 && allEnded;
  }
  UnfinishedWorkers().clear();
  return allEnded;
}

WorkerPage::WorkerPage(int templateId, Work work) : Dialog(templateId), work_(std::move(work)) {}

WorkerPage::~WorkerPage() {
  state_->Detach();
  if (worker_ && WaitForSingleObject(worker_.get(), 0) == WAIT_TIMEOUT) {
    UnfinishedWorkers().push_back(std::move(worker_));
  }
}

bool WorkerPage::OnInitDialog() {
  auto start = std::make_unique<WorkerStart>(
      WorkerStart{work_, std::make_unique<DialogPageView>(state_, progress_, Window())});
  worker_.reset(CreateThread(nullptr, 0, &WorkerThread, start.get(), 0, nullptr));
  if (worker_) {
    start.release();  // the thread owns it now
  } else {
    state_->Finish(Outcome::Failed);
  }
  return true;
}

bool WorkerPage::OnCommand(int id, int notifyCode) {
  switch (id) {
    case IDC_WIZARD_CANCEL:
      state_->Cancel();
      End(kCancel);
      return true;
    case IDC_WIZARD_HELP:
      return true;
    case IDOK:
      End(kOk);
      return true;
    case IDCANCEL:
      End(kCancel);
      return true;
    default:
      return Dialog::OnCommand(id, notifyCode);
  }
}

void WorkerPage::OnTimer(UINT_PTR timerId) {
  if (timerId == kProgressTimer) {
    ApplyProgress();
  } else if (timerId == kEndTimer) {
    KillTimer(Window(), kEndTimer);
    End(kOk);
  }
}

bool WorkerPage::OnMessage(UINT message, WPARAM, LPARAM, INT_PTR& result) {
  if (message == kEndRequestMessage) {
    SetTimer(Window(), kEndTimer, kEndTimerPeriodMs, nullptr);
  } else if (message == kProgressMessage) {
    ApplyProgress();
  } else {
    return false;
  }
  result = TRUE;
  return true;
}

void WorkerPage::ApplyProgress() {
  const ProgressMailbox::Update update = progress_->Take();
  if (!update.range && !update.position && !update.statusText && !update.messageText) {
    KillTimer(Window(), kProgressTimer);  // the next progress posts its notice again
    return;
  }
  SetTimer(Window(), kProgressTimer, kProgressPeriodMs, nullptr);
  if (update.range) SendMessageA(Control(IDC_PROGRESS), PBM_SETRANGE32, 0, *update.range);
  if (update.position) {
    SendMessageA(Control(IDC_PROGRESS), PBM_SETPOS, static_cast<WPARAM>(*update.position), 0);
  }
  if (update.statusText) SetControlText(IDC_TRANSFER_STATUS, update.statusText->c_str());
  if (update.messageText) SetControlText(IDC_PAGE_MESSAGE, update.messageText->c_str());
}

void WorkerPage::End(INT_PTR result) {
  // Detach has cancelled the transfer, so the worker returns from any wait on the network at
  // once. The page does not wait for it: a store it has begun (seconds for the flush of a large
  // file) goes on without the page, and the program waits for it before it ends.
  finalOutcome_ = state_->Detach();
  EndDialog(result);
}

}  // namespace updater
