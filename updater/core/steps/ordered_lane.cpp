#include "steps/ordered_lane.h"

#include "platform/catch_all.h"

namespace updater {

OrderedLane::OrderedLane() : thread_([this] { Run(); }) {}

OrderedLane::~OrderedLane() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void OrderedLane::Post(std::function<void()> work) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    waiting_.push_back(std::move(work));
  }
  changed_.notify_all();
}

void OrderedLane::WaitIdle() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return waiting_.empty() && !running_; });
}

void OrderedLane::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return !waiting_.empty() || closing_; });
    if (waiting_.empty()) return;  // closing, and nothing left
    std::function<void()> work = std::move(waiting_.front());
    waiting_.pop_front();
    running_ = true;
    lock.unlock();
    platform::CatchAll([&work] { work(); });
    work = nullptr;  // what it held goes before the lock is taken again
    lock.lock();
    running_ = false;
    changed_.notify_all();
  }
}

}  // namespace updater
