// Fetches one URL twice under Wine and prints the seconds each way took:
//   bare     a WinInet loop of 2048-byte reads into one block, with no window calls
//   quiet    HttpFetcher with a sink that discards every report (the fetch loop's own cost)
//   sync     HttpFetcher on a worker thread, reporting each chunk by two synchronous window
//            calls to a progress bar and a status text served by the main thread's loop
//   page     the connect page itself (fetch with its progress, then store update\update.ini
//            below this program's folder), from the reader's registry values
// Usage: fetch_bench URL. Output: one "<way> <seconds>" line each.
#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <vector>

#include "bench_common.h"
#include "net/http_fetcher.h"
#include "pages/connect_page.h"
#include "platform/day_clock.h"
#include "platform/internet.h"

namespace {

using bench::BareLoop;
using bench::Clock;
using bench::SecondsSince;
constexpr UINT kDoneMessage = WM_APP + 1;

struct QuietSink final : ostrel::ProgressSink {
  void SetRange(int32_t) override {}
  void SetPosition(int32_t) override {}
  void SetStatusText(const std::string&) override {}
};

class WindowSink final : public ostrel::ProgressSink {
 public:
  WindowSink(HWND progress, HWND status) : progress_(progress), status_(status) {}
  void SetRange(int32_t upper) override { SendMessageA(progress_, PBM_SETRANGE32, 0, upper); }
  void SetPosition(int32_t position) override {
    SendMessageA(progress_, PBM_SETPOS, static_cast<WPARAM>(position), 0);
  }
  void SetStatusText(const std::string& text) override { SetWindowTextA(status_, text.c_str()); }

 private:
  HWND progress_;
  HWND status_;
};

struct FetchJob {
  std::string url;
  HWND window;
  HWND progress;
  HWND status;
  bool ok = false;
};

DWORD WINAPI FetchThread(void* argument) {
  auto* job = static_cast<FetchJob*>(argument);
  ostrel::HttpFetcher fetcher(platform::WinInetClient("Ostrel"), platform::SystemDayClock());
  WindowSink sink(job->progress, job->status);
  std::vector<char> block;
  std::atomic<int32_t> cancel{0};
  job->ok = fetcher.Fetch(job->url, block, sink, cancel);
  PostMessageA(job->window, kDoneMessage, 0, 0);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fetch_bench URL\n");
    return 2;
  }
  const std::string url = argv[1];
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);

  auto start = Clock::now();
  if (!BareLoop(url)) {
    std::fprintf(stderr, "fetch_bench: the bare loop failed\n");
    return 1;
  }
  std::printf("bare %.3f\n", SecondsSince(start));

  start = Clock::now();
  {
    ostrel::HttpFetcher fetcher(platform::WinInetClient("Ostrel"), platform::SystemDayClock());
    QuietSink quiet;
    std::vector<char> block;
    std::atomic<int32_t> cancel{0};
    if (!fetcher.Fetch(url, block, quiet, cancel)) {
      std::fprintf(stderr, "fetch_bench: the quiet fetch failed\n");
      return 1;
    }
  }
  std::printf("quiet %.3f\n", SecondsSince(start));

  HWND window = CreateWindowExA(0, "STATIC", "fetch_bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                400, 120, nullptr, nullptr, nullptr, nullptr);
  FetchJob job{url, window,
               CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE | PBS_SMOOTH, 10, 10,
                               360, 16, window, nullptr, nullptr, nullptr),
               CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 10, 40, 360, 16, window,
                               nullptr, nullptr, nullptr)};
  start = Clock::now();
  HANDLE worker = CreateThread(nullptr, 0, &FetchThread, &job, 0, nullptr);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (message.message == kDoneMessage) break;
    DispatchMessageA(&message);
  }
  WaitForSingleObject(worker, INFINITE);
  CloseHandle(worker);
  if (!job.ok) {
    std::fprintf(stderr, "fetch_bench: the fetcher failed\n");
    return 1;
  }
  std::printf("sync %.3f\n", SecondsSince(start));
  DestroyWindow(window);

  start = Clock::now();
  ostrel::ConnectPage page;
  page.RunModal();
  if (page.outcome() != ostrel::Succeeded) {
    std::fprintf(stderr, "fetch_bench: the connect page did not succeed\n");
    return 1;
  }
  std::printf("page %.3f\n", SecondsSince(start));
  return 0;
}
