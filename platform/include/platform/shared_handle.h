// A handle that one thread works with while another may close it at any moment, to end a call
// that waits on it. Every use and the close go through one lock and a closed flag: the handle
// is closed exactly once, by whichever side comes first, and no use starts once it is closed.
//
// The close can still fall between a use taking the handle and the platform call starting;
// the call then meets a handle value that is no longer valid and fails. That value cannot
// have been handed out again in between as long as the thread that uses the handle is the
// only one that opens handles of its kind, which is how the callers use it.
#pragma once

#include <mutex>

namespace platform {

class SharedHandle {
 public:
  using Handle = void*;
  using Closer = void (*)(Handle);

  SharedHandle(Handle handle, Closer closer) : handle_(handle), closer_(closer) {}
  ~SharedHandle() { Close(); }
  SharedHandle(const SharedHandle&) = delete;
  SharedHandle& operator=(const SharedHandle&) = delete;

  // Runs `call` with the handle unless it has been closed; false, without calling, once it
  // has.
  template <typename Call>
  bool Use(Call&& call) {
    Handle handle = nullptr;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (closed_) return false;
      handle = handle_;
    }
    call(handle);
    return true;
  }

  // Closes the handle unless that was done before. Any thread.
  void Close() {
    Handle handle = nullptr;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (closed_) return;
      closed_ = true;
      handle = handle_;
    }
    // Outside the lock: the close may have to wait for a call in progress to give up.
    closer_(handle);
  }

 private:
  std::mutex mutex_;
  Handle handle_;
  Closer closer_;
  bool closed_ = false;
};

}  // namespace platform
