// A pointer made on first demand, at most once, by whichever thread asks first: tested without
// the lock once made, and again under the lock before making it. A failed attempt leaves it
// empty, so the next request tries again.
#pragma once

#include <atomic>
#include <mutex>

namespace pellwick::com {

template <typename T>
class CreatedOnce {
 public:
  // `make` returns the new object, or null when it could not be made.
  template <typename Make>
  T* Get(Make&& make) {
    T* object = object_.load(std::memory_order_acquire);
    if (object != nullptr) return object;
    std::lock_guard<std::mutex> guard(mutex_);
    object = object_.load(std::memory_order_acquire);
    if (object == nullptr) {
      object = make();
      object_.store(object, std::memory_order_release);
    }
    return object;
  }

  T* Peek() const { return object_.load(std::memory_order_acquire); }

  // Hands the object over and forgets it.
  T* Take() {
    std::lock_guard<std::mutex> guard(mutex_);
    return object_.exchange(nullptr);
  }

 private:
  std::mutex mutex_;
  std::atomic<T*> object_{nullptr};
};

}  // namespace pellwick::com
