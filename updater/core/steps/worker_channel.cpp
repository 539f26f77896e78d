#include "steps/worker_channel.h"

namespace ostrel {

ostrel::Outcome PageWorkerState::Outcome() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return outcome_;
}

bool PageWorkerState::Finish(ostrel::Outcome result) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (detached_ || outcome_ != Outcome::Pending) return false;
  outcome_ = result;
  return true;
}

std::vector<std::function<void()>> PageWorkerState::StopLocked() {
  cancel_ = 1;
  return cancellers_;
}

void PageWorkerState::Cancel() {
  std::vector<std::function<void()>> cancellers;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!detached_) outcome_ = Outcome::Cancelled;
    cancellers = StopLocked();
  }
  for (const auto& canceller : cancellers) canceller();
}

ostrel::Outcome PageWorkerState::Detach() {
  std::vector<std::function<void()>> cancellers;
  ostrel::Outcome outcome = Outcome::Pending;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    detached_ = true;
    outcome = outcome_;
    cancellers = StopLocked();
  }
  for (const auto& canceller : cancellers) canceller();
  return outcome;
}

void PageWorkerState::AddCanceller(const std::function<void()>& canceller) {
  if (!canceller) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    cancellers_.push_back(canceller);
    if (cancel_ == 0) return;
  }
  canceller();  // the page was cancelled or ended before the session existed
}

bool PageWorkerState::MayStore() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return !detached_ && cancel_ == 0;
}

namespace {

// A session that could not be made: every request fails.
class NoSession final : public platform::InternetSession {
 public:
  std::unique_ptr<platform::InternetResource> Open(
      const std::string&, const std::optional<platform::ResumePoint>&) override {
    return nullptr;
  }
};

}  // namespace

std::unique_ptr<platform::InternetSession> OpenPageSession(platform::InternetClient& client,
                                                           PageWorkerState& state) {
  std::unique_ptr<platform::InternetSession> session = client.OpenSession();
  if (!session) return std::make_unique<NoSession>();
  state.AddCanceller(session->Canceller());
  return session;
}

bool PageWorkerState::Detached() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return detached_;
}

bool ProgressMailbox::MarkWaiting() {
  const bool tell = !told_;
  told_ = true;
  return tell;
}

bool ProgressMailbox::PutRange(int32_t upper) {
  std::lock_guard<std::mutex> lock(mutex_);
  waiting_.range = upper;
  return MarkWaiting();
}

bool ProgressMailbox::PutPosition(int32_t position) {
  std::lock_guard<std::mutex> lock(mutex_);
  waiting_.position = position;
  return MarkWaiting();
}

bool ProgressMailbox::PutStatusText(const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  waiting_.statusText = text;
  return MarkWaiting();
}

bool ProgressMailbox::PutMessageText(const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  waiting_.messageText = text;
  return MarkWaiting();
}

ProgressMailbox::Update ProgressMailbox::Take() {
  std::lock_guard<std::mutex> lock(mutex_);
  Update taken = std::move(waiting_);
  waiting_ = Update{};
  told_ = taken.range || taken.position || taken.statusText || taken.messageText;
  return taken;
}

void PageView::SetRange(int32_t upper) {
  if (!state_->Detached()) DoSetRange(upper);
}

void PageView::SetPosition(int32_t position) {
  if (!state_->Detached()) DoSetPosition(position);
}

void PageView::SetStatusText(const std::string& text) {
  if (!state_->Detached()) DoSetStatusText(text);
}

void PageView::SetMessageText(const std::string& text) {
  if (!state_->Detached()) DoSetMessageText(text);
}

void PageView::RequestEndTimer() {
  if (!state_->Detached()) DoRequestEndTimer();
}

}  // namespace ostrel
