// A handle closed from another thread: closed exactly once, never used once closed, and a call
// waiting on it ends when it is closed.
#include "platform/shared_handle.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

std::atomic<int> closes{0};
std::atomic<bool> released{false};
void CountClose(void*) {
  ++closes;
  released = true;
}

TEST(SharedHandle, ClosedOnceAndNeverUsedAfterwards) {
  const struct {
    const char* what;
    int extraCloses;  // Close calls after the first
  } rows[] = {{"closed once", 0}, {"closed again by the owner", 2}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    closes = 0;
    int dummy = 0;
    {
      platform::SharedHandle handle(&dummy, &CountClose);
      void* seen = nullptr;
      EXPECT_TRUE(handle.Use([&](void* h) { seen = h; }));
      EXPECT_EQ(seen, &dummy);
      handle.Close();
      for (int i = 0; i < row.extraCloses; ++i) handle.Close();
      bool called = false;
      EXPECT_FALSE(handle.Use([&](void*) { called = true; }));
      EXPECT_FALSE(called);
    }  // the destructor closes nothing more
    EXPECT_EQ(closes, 1);
  }
}

TEST(SharedHandle, CloseFromAnotherThreadEndsACallThatWaits) {
  closes = 0;
  released = false;
  int dummy = 0;
  platform::SharedHandle handle(&dummy, &CountClose);
  std::atomic<bool> inCall{false};
  std::thread worker([&] {
    // A read that waits on the network until its handle is closed.
    handle.Use([&](void*) {
      inCall = true;
      while (!released) std::this_thread::yield();
    });
    EXPECT_FALSE(handle.Use([](void*) {}));  // the next call is never made
  });
  while (!inCall) std::this_thread::yield();
  handle.Close();
  worker.join();
  EXPECT_EQ(closes, 1);
}

}  // namespace
