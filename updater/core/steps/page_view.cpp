#include "steps/page_view.h"

#include <utility>

namespace updater {

template <typename Value>
bool ProgressMailbox::Put(std::optional<Value> Update::*slot, Value value) {
  std::lock_guard<std::mutex> lock(mutex_);
  waiting_.*slot = std::move(value);
  const bool tell = !told_;
  told_ = true;
  return tell;
}

bool ProgressMailbox::PutRange(int32_t upper) { return Put(&Update::range, upper); }

bool ProgressMailbox::PutPosition(int32_t position) { return Put(&Update::position, position); }

bool ProgressMailbox::PutStatusText(const std::string& text) {
  return Put(&Update::statusText, text);
}

bool ProgressMailbox::PutMessageText(const std::string& text) {
  return Put(&Update::messageText, text);
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
