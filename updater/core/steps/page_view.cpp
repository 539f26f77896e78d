#include "steps/page_view.h"

namespace updater {

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

}  // namespace updater
