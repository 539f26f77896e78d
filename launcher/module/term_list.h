// Cleanups that run when the DLL leaves the process, the most recently added first.
#pragma once

#include <functional>
#include <mutex>
#include <vector>

namespace pellwick::com {

class TermList {
 public:
  // False when out of memory (the cleanup then does not run).
  bool Add(std::function<void()> cleanup) noexcept;
  // Runs and forgets every cleanup, last added first.
  void Run() noexcept;

 private:
  std::mutex mutex_;
  std::vector<std::function<void()>> cleanups_;
};

}  // namespace pellwick::com
