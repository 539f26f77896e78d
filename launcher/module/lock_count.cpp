#include "module/lock_count.h"

namespace pellwick::com {

uint32_t ClassObjectReferences::AddRef() noexcept {
  std::lock_guard<std::mutex> guard(mutex_);
  if (++count_ == 2) moduleLock_.Lock();
  return count_;
}

uint32_t ClassObjectReferences::Release() noexcept {
  std::lock_guard<std::mutex> guard(mutex_);
  if (count_ == 0) return 0;
  if (--count_ == 1) moduleLock_.Unlock();
  return count_;
}

}  // namespace pellwick::com
