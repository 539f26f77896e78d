#include "pages/page_worker.h"

namespace ostrel {

int32_t PageWorkerState::Outcome() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return outcome_;
}

bool PageWorkerState::Finish(int32_t result) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (detached_ || outcome_ != Pending) return false;
  outcome_ = result;
  return true;
}

void PageWorkerState::Cancel() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!detached_) outcome_ = Cancelled;
  cancel_ = 1;
}

int32_t PageWorkerState::Detach() {
  std::lock_guard<std::mutex> lock(mutex_);
  detached_ = true;
  cancel_ = 1;
  return outcome_;
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
  told_ = false;
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

int32_t PageView::RowCount() { return state_->Detached() ? 0 : DoRowCount(); }

std::string PageView::RowText(int32_t row) {
  return state_->Detached() ? std::string() : DoRowText(row);
}

}  // namespace ostrel
