// How the benchmarks time a download page the way the wizard runs it.
#pragma once

#include <windows.h>

#include <chrono>

#include "bench_common.h"
#include "pages/worker_page.h"

namespace bench {

// The wizard shows its download pages after its first page, when Wine has long loaded its
// display driver; a process's first window takes some 60 ms more than any later one. A
// benchmark makes one before it times a page, so the page's figure holds only the page.
inline void LoadDisplayDriver() {
  HWND window =
      CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  ShowWindow(window, SW_SHOWNOACTIVATE);
  DestroyWindow(window);
}

// A page's run on this thread, timed twice: to the moment its worker succeeded (when it asks
// the page to end itself, seen on the way through the page's message loop) and to the end of
// the run, one tick of the page's 100 ms timer later.
class PageTimes {
 public:
  template <typename RunPage>
  static auto Time(RunPage run) {
    succeeded_ = {};
    const Clock::time_point start = Clock::now();
    HHOOK hook = SetWindowsHookExA(WH_GETMESSAGE, &Seen, nullptr, GetCurrentThreadId());
    const auto outcome = run();
    ended = SecondsSince(start);
    UnhookWindowsHookEx(hook);
    succeeded = succeeded_ == Clock::time_point{}
                    ? -1
                    : std::chrono::duration<double>(succeeded_ - start).count();
    return outcome;
  }
  static inline double succeeded = -1;  // negative when the worker never succeeded
  static inline double ended = -1;

 private:
  static LRESULT CALLBACK Seen(int code, WPARAM removed, LPARAM message) {
    const MSG* seen = reinterpret_cast<const MSG*>(message);
    if (code == HC_ACTION && removed == PM_REMOVE &&
        seen->message == updater::WorkerPage::kEndRequestMessage &&
        succeeded_ == Clock::time_point{}) {
      succeeded_ = Clock::now();
    }
    return CallNextHookEx(nullptr, code, removed, message);
  }
  static inline Clock::time_point succeeded_{};
};

}  // namespace bench
