#include "steps/page_worker_state.h"

namespace updater {

updater::Outcome PageWorkerState::Outcome() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return outcome_;
}

bool PageWorkerState::Finish(updater::Outcome result) {
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

updater::Outcome PageWorkerState::Detach() {
  std::vector<std::function<void()>> cancellers;
  updater::Outcome outcome = Outcome::Pending;
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

}  // namespace updater
