// Fetches one URL under Wine and prints the seconds each way took:
//   bare     a WinInet loop of 64 KiB reads into one block, with no progress and no window
//   quiet    HttpFetcher with sinks that discard every report and the body (the fetch loop's
//            own cost: reads of what has arrived, up to 64 KiB)
//   page     the file-list page itself over the manifest in this program's update\ folder
//            (fetch with its progress into the file, hashed and flushed, then recorded), from
//            the reader's registry values: to the moment its worker succeeded ("page"), and to
//            the end of its run one tick of its 100 ms timer later ("page-end"). (The connect
//            page refuses a manifest this large.)
// Usage: fetch_bench URL. Output: one "<way> <seconds>" line each.
#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include <cstdio>

#include "app/updater_app.h"
#include "bench_common.h"
#include "layout/paths.h"
#include "net/http_fetcher.h"
#include "page_times.h"
#include "platform/internet.h"
#include "platform/ole_date_clock.h"
#include "quiet_sink.h"
#include "running_program.h"

using bench::Clock;
using bench::SecondsSince;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fetch_bench URL\n");
    return 2;
  }
  const std::string url = argv[1];
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);

  auto start = Clock::now();
  if (!bench::BareLoop({url})) {
    std::fprintf(stderr, "fetch_bench: the bare loop failed\n");
    return 1;
  }
  std::printf("bare %.3f\n", SecondsSince(start));

  start = Clock::now();
  {
    const auto session = platform::WinInetClient("Ostrel").OpenSession();
    updater::HttpFetcher fetcher(*session, platform::SystemOleDateClock());
    bench::QuietSink quiet;
    bench::DiscardedBody body;
    std::atomic<int32_t> cancel{0};
    updater::FetchReport report;
    if (!fetcher.Fetch(url, updater::FetchRequest{}, body, quiet, cancel, report)) {
      std::fprintf(stderr, "fetch_bench: the quiet fetch failed\n");
      return 1;
    }
  }
  std::printf("quiet %.3f\n", SecondsSince(start));

  bench::LoadDisplayDriver();
  const updater::Outcome outcome = bench::PageTimes::Time(
      [] { return updater::DialogPages(bench::RunningProgram()).RunFileListPage(); });
  if (outcome != updater::Outcome::Succeeded || bench::PageTimes::succeeded < 0) {
    std::fprintf(stderr,
                 "fetch_bench: the file-list page did not succeed, or its success was not seen\n");
    return 1;
  }
  std::printf("page %.3f\npage-end %.3f\n", bench::PageTimes::succeeded, bench::PageTimes::ended);
  return 0;
}
