// The module's lock count and the reference count of its class object: the rules that decide
// when DllCanUnloadNow lets the DLL go.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "module/hresults.h"

namespace pellwick::com {

// Live objects, outside references to the class object and server locks, counted atomically
// because several apartments of one process may reach the module at once.
class ModuleLock {
 public:
  void Lock() noexcept { count_.fetch_add(1); }
  void Unlock() noexcept { count_.fetch_sub(1); }
  int32_t count() const noexcept { return count_.load(); }
  // DllCanUnloadNow: S_OK when nothing holds the module, S_FALSE otherwise.
  HResult CanUnloadNow() const noexcept { return count() == 0 ? kSOk : kSFalse; }

 private:
  std::atomic<int32_t> count_{0};
};

// The class object's reference count. The module keeps the first reference for itself, and
// that one does not hold the module: the count rising to 2 (a first outside reference) locks
// it, falling back to 1 unlocks it.
class ClassObjectReferences {
 public:
  explicit ClassObjectReferences(ModuleLock& moduleLock) : moduleLock_(moduleLock) {}

  uint32_t AddRef() noexcept;
  // The new count; at 0 the caller destroys the object. Never goes below 0.
  uint32_t Release() noexcept;

 private:
  ModuleLock& moduleLock_;
  std::mutex mutex_;
  uint32_t count_ = 0;
};

}  // namespace pellwick::com
