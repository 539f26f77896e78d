#include "steps/fetch_crew.h"

#include "platform/catch_all.h"

namespace updater {

void HeadProgress::SetRange(int32_t upper) {
  std::lock_guard<std::mutex> lock(mutex_);
  // A new range starts the file's transfer again: what was kept belongs to the one before.
  range_ = upper;
  position_.reset();
  statusText_.reset();
  if (head_) page_.SetRange(upper);
}

void HeadProgress::SetPosition(int32_t position) {
  std::lock_guard<std::mutex> lock(mutex_);
  position_ = position;
  if (head_) page_.SetPosition(position);
}

void HeadProgress::SetStatusText(const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  statusText_ = text;
  if (head_) page_.SetStatusText(text);
}

void HeadProgress::BecomeHead() {
  std::lock_guard<std::mutex> lock(mutex_);
  head_ = true;
  if (range_) page_.SetRange(*range_);
  if (position_) page_.SetPosition(*position_);
  if (statusText_) page_.SetStatusText(*statusText_);
}

FetchCrew::FetchCrew(std::size_t size, platform::InternetClient& client,
                     platform::OleDateClock& clock, PageWorkerState& state,
                     std::chrono::milliseconds stallLimit)
    : size_(size), client_(client), clock_(clock), state_(state), stallLimit_(stallLimit) {}

FetchCrew::~FetchCrew() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
  }
  changed_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

void FetchCrew::Hand(Job job) {
  bool another = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    waiting_.push_back(std::move(job));
    another = waiting_.size() > idle_ && threads_.size() < size_;
  }
  changed_.notify_one();
  if (!another) return;
  const bool started = platform::CatchAll(false, [this] {
    threads_.emplace_back([this] { Run(); });
    return true;
  });
  if (started || !threads_.empty()) return;
  // No thread could be started: the job runs here, without a session, and fails at once, so
  // that whoever waits for it is not left waiting.
  Job left;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (waiting_.empty()) return;
    left = std::move(waiting_.front());
    waiting_.pop_front();
  }
  platform::CatchAll([&left] { left(nullptr); });
}

void FetchCrew::Run() {
  std::unique_ptr<platform::InternetSession> session;
  std::unique_ptr<HttpFetcher> fetcher;  // uses the session: goes first
  platform::CatchAll([&] {
    session = OpenPageSession(client_, state_);
    session->SetStallLimit(stallLimit_);
    fetcher = std::make_unique<HttpFetcher>(*session, clock_);
  });
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    ++idle_;
    changed_.wait(lock, [this] { return !waiting_.empty() || closing_; });
    --idle_;
    if (waiting_.empty()) return;  // closing, and nothing left
    Job job = std::move(waiting_.front());
    waiting_.pop_front();
    lock.unlock();
    platform::CatchAll([&] { job(fetcher.get()); });
    job = nullptr;  // what it held goes before the lock is taken again
    lock.lock();
  }
}

}  // namespace updater
