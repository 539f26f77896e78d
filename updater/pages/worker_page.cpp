#include "pages/worker_page.h"

#include <commctrl.h>

#include <chrono>

#include "res/resource.h"

namespace ostrel {

namespace {

constexpr UINT_PTR kEndTimer = 100;
constexpr UINT kEndTimerPeriodMs = 100;
constexpr DWORD kCancelWaitMs = 5000;
// Posted by the worker: SetTimer only works for windows of the calling thread.
constexpr UINT kStartEndTimerMessage = WM_APP + 1;
// Posted by the worker when progress waits in the mailbox. A synchronous call per chunk would
// cost more than the chunk's read (over a millisecond for the two calls under Wine).
constexpr UINT kProgressMessage = WM_APP + 2;

// The page's windows, called from the worker; each call is served by the page's thread.
class DialogPageView final : public PageView {
 public:
  DialogPageView(std::shared_ptr<PageWorkerState> state, std::shared_ptr<ProgressMailbox> mailbox,
                 HWND page)
      : PageView(std::move(state)),
        mailbox_(std::move(mailbox)),
        page_(page),
        list_(GetDlgItem(page, IDC_FILE_LIST)) {}

 protected:
  void DoSetRange(int32_t upper) override { Tell(mailbox_->PutRange(upper)); }
  void DoSetPosition(int32_t position) override { Tell(mailbox_->PutPosition(position)); }
  void DoSetStatusText(const std::string& text) override { Tell(mailbox_->PutStatusText(text)); }
  void DoSetMessageText(const std::string& text) override { Tell(mailbox_->PutMessageText(text)); }
  void DoRequestEndTimer() override { PostMessageA(page_, kStartEndTimerMessage, 0, 0); }
  int32_t DoRowCount() override {
    return list_ ? static_cast<int32_t>(SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0)) : 0;
  }
  std::string DoRowText(int32_t row) override {
    if (!list_) return {};
    char text[260] = {};
    LVITEMA item = {};
    item.iSubItem = 0;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    const LRESULT length = SendMessageA(list_, LVM_GETITEMTEXTA, static_cast<WPARAM>(row),
                                        reinterpret_cast<LPARAM>(&item));
    return std::string(text, static_cast<std::size_t>(length > 0 ? length : 0));
  }

 private:
  void Tell(bool needed) {
    if (needed) PostMessageA(page_, kProgressMessage, 0, 0);
  }

  std::shared_ptr<ProgressMailbox> mailbox_;
  HWND page_;
  HWND list_;
};

struct WorkerStart {
  WorkerPage::Work work;
  std::unique_ptr<DialogPageView> view;
};

DWORD WINAPI WorkerThread(void* argument) {
  const std::unique_ptr<WorkerStart> start(static_cast<WorkerStart*>(argument));
  try {
    start->work(*start->view);
  } catch (...) {
    start->view->state().Finish(Failed);
  }
  return 0;
}

}  // namespace

WorkerPage::WorkerPage(int templateId, Work work) : Dialog(templateId), work_(std::move(work)) {}

WorkerPage::~WorkerPage() { state_->Detach(); }

bool WorkerPage::OnInitDialog() {
  // Centred on the screen: the page has no parent.
  RECT area = {};
  GetWindowRect(Window(), &area);
  SetWindowPos(Window(), nullptr, (GetSystemMetrics(SM_CXSCREEN) - (area.right - area.left)) / 2,
               (GetSystemMetrics(SM_CYSCREEN) - (area.bottom - area.top)) / 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  auto start = std::make_unique<WorkerStart>(
      WorkerStart{work_, std::make_unique<DialogPageView>(state_, progress_, Window())});
  worker_.reset(CreateThread(nullptr, 0, &WorkerThread, start.get(), 0, nullptr));
  if (worker_) {
    start.release();  // the thread owns it now
  } else {
    state_->Finish(Failed);
  }
  return true;
}

bool WorkerPage::OnCommand(int id, int notifyCode) {
  switch (id) {
    case IDC_WIZARD_CANCEL:
      CancelButton();
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
  if (timerId != kEndTimer) return;
  KillTimer(Window(), kEndTimer);
  End(kOk);
}

bool WorkerPage::OnMessage(UINT message, WPARAM, LPARAM, INT_PTR& result) {
  if (message == kStartEndTimerMessage) {
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
  if (update.range) SendMessageA(Control(IDC_PROGRESS), PBM_SETRANGE32, 0, *update.range);
  if (update.position) {
    SendMessageA(Control(IDC_PROGRESS), PBM_SETPOS, static_cast<WPARAM>(*update.position), 0);
  }
  if (update.statusText) SetControlText(IDC_TRANSFER_STATUS, update.statusText->c_str());
  if (update.messageText) SetControlText(IDC_PAGE_MESSAGE, update.messageText->c_str());
}

void WorkerPage::CancelButton() {
  state_->Cancel();
  if (worker_) {
    // Serve the worker's synchronous window calls while waiting, so it reaches its next test of
    // the cancel flag at once instead of blocking until the wait runs out. Posted messages
    // (clicks, keys) wait until the page has ended.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kCancelWaitMs);
    HANDLE worker = worker_.get();
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      const DWORD woke = MsgWaitForMultipleObjects(
          1, &worker, FALSE, static_cast<DWORD>(left.count()), QS_SENDMESSAGE);
      if (woke != WAIT_OBJECT_0 + 1) break;  // ended, timed out or failed
      MSG message;
      PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
  }
  End(kCancel);
}

void WorkerPage::End(INT_PTR result) {
  finalOutcome_ = state_->Detach();
  EndDialog(result);
}

}  // namespace ostrel
