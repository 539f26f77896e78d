#include "module/term_list.h"

#include <new>
#include <utility>

namespace pellwick::com {

bool TermList::Add(std::function<void()> cleanup) noexcept {
  std::lock_guard<std::mutex> guard(mutex_);
  try {
    cleanups_.push_back(std::move(cleanup));
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

void TermList::Run() noexcept {
  std::vector<std::function<void()>> cleanups;
  {
    std::lock_guard<std::mutex> guard(mutex_);
    cleanups.swap(cleanups_);
  }
  for (auto cleanup = cleanups.rbegin(); cleanup != cleanups.rend(); ++cleanup) {
    try {
      (*cleanup)();
    } catch (...) {
      // A cleanup that throws must not keep the others from running.
    }
  }
}

}  // namespace pellwick::com
