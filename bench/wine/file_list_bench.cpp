// The file-list page under Wine, timed. The program folder is this program's own folder; the
// update server's base address must be stored as "Update Website" beforehand.
//   file_list_bench fetch BASE N   N files file0001.bin ... from BASE: first a bare WinInet
//                                  loop over the same URLs (one session, 64 KiB reads,
//                                  nothing stored), the pages' fetcher alone over them, then
//                                  the page. Prints "bare <s>", "fetcher <s>", "page <s>"
//                                  (to the moment its worker succeeded) and "page-end <s>".
//   file_list_bench skip N         a manifest of N files, all recorded: the page to the
//                                  moment its worker succeeded. Prints "skip <s>".
//   file_list_bench signed N MANIFEST
//                                  N files file0001.bin ... through the page, alternately with
//                                  an unsigned manifest and with MANIFEST (the same files,
//                                  signed with this build's key, with sizes and hashes): the
//                                  best of three runs of each. Prints "unsigned <s>" and
//                                  "signed <s>".
// Every figure is the page's run from its start to the moment its worker succeeded; the page
// ends one tick of its 100 ms timer later ("page-end" shows it).
#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/updater_app.h"
#include "bench_common.h"
#include "layout/paths.h"
#include "net/http_fetcher.h"
#include "page_times.h"
#include "platform/file_system.h"
#include "platform/internet.h"
#include "platform/ole_date_clock.h"
#include "quiet_sink.h"
#include "running_program.h"

namespace {

using bench::Clock;
using bench::SecondsSince;

std::string FileName(int number) {
  char name[32];
  std::snprintf(name, sizeof name, "file%04d.bin", number);
  return name;
}

std::string UpdateFolder() { return bench::RunningProgram().layout.updateFolder; }

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// A manifest of n files (or `signedManifest`, when given) and, when `recorded`, a record
// holding them all; no fetched files.
void PrepareUpdate(int count, bool recorded, const std::string& signedManifest = {}) {
  const std::string folder = UpdateFolder();
  CreateDirectoryA(folder.c_str(), nullptr);
  std::string manifest =
      "[main]\r\nversion=2.0.0.0\r\nfilenum=" + std::to_string(count) + "\r\n[list]\r\n";
  std::string record = "[2.0.0.0]\r\noknum=" + std::to_string(count) + "\r\n";
  for (int i = 1; i <= count; ++i) {
    manifest += "file" + std::to_string(i) + "=" + FileName(i) + "\r\n";
    record += "ok" + std::to_string(i) + "=" + FileName(i) + "\r\n";
    DeleteFileA((folder + FileName(i)).c_str());
  }
  WriteText(folder + "update.ini", signedManifest.empty() ? manifest : signedManifest);
  if (recorded) {
    WriteText(folder + "updateok.ini", record);
  } else {
    DeleteFileA((folder + "updateok.ini").c_str());
  }
}

// The page from its start to the moment its worker succeeded, in seconds; negative unless it
// succeeded.
double RunPage() {
  const updater::Outcome outcome = bench::PageTimes::Time(
      [] { return updater::DialogPages(bench::RunningProgram()).RunFileListPage(); });
  if (outcome != updater::Outcome::Succeeded) {
    std::fprintf(stderr, "file_list_bench: the page ended with outcome %d\n",
                 static_cast<int>(outcome));
    return -1;
  }
  if (bench::PageTimes::succeeded < 0) {
    std::fprintf(stderr, "file_list_bench: the worker's success was not seen\n");
  }
  return bench::PageTimes::succeeded;
}

// The pages' fetcher over the URLs through one session, storing nothing: what the page adds
// beyond it is storing, recording, logging and drawing. Prints "fetcher <s>".
bool FetchQuietly(const std::vector<std::string>& urls) {
  const auto start = Clock::now();
  const auto session = platform::WinInetClient("Ostrel").OpenSession();
  if (!session) return false;
  updater::HttpFetcher fetcher(*session, platform::SystemOleDateClock());
  bench::QuietSink quiet;
  std::atomic<int32_t> cancel{0};
  for (const std::string& url : urls) {
    std::vector<char> block;
    updater::FetchReport report;
    if (!fetcher.Fetch(url, updater::kAnyLength, block, quiet, cancel, report)) return false;
  }
  std::printf("fetcher %.3f\n", SecondsSince(start));
  return true;
}

bool TimePage(const char* label) {
  const double seconds = RunPage();
  if (seconds >= 0) std::printf("%s %.3f\n", label, seconds);
  return seconds >= 0;
}

}  // namespace

int main(int argc, char** argv) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  bench::LoadDisplayDriver();
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "fetch" && argc == 4) {
    const std::string base = argv[2];
    const int count = std::atoi(argv[3]);
    std::vector<std::string> urls;
    for (int i = 1; i <= count; ++i) urls.push_back(base + "/" + FileName(i));
    const auto start = Clock::now();
    if (!bench::BareLoop(urls)) {
      std::fprintf(stderr, "file_list_bench: the bare loop failed\n");
      return 1;
    }
    std::printf("bare %.3f\n", SecondsSince(start));
    if (!FetchQuietly(urls)) {
      std::fprintf(stderr, "file_list_bench: the fetcher failed\n");
      return 1;
    }
    PrepareUpdate(count, false);
    if (!TimePage("page")) return 1;
    std::printf("page-end %.3f\n", bench::PageTimes::ended);
    return 0;
  }
  if (mode == "signed" && argc == 4) {
    const int count = std::atoi(argv[2]);
    std::ifstream in(argv[3], std::ios::binary);
    const std::string signedManifest{std::istreambuf_iterator<char>(in),
                                     std::istreambuf_iterator<char>()};
    double best[2] = {1e9, 1e9};  // unsigned, signed
    for (int run = 0; run < 6; ++run) {
      const int way = run % 2;
      PrepareUpdate(count, false, way == 0 ? std::string() : signedManifest);
      const double seconds = RunPage();
      if (seconds < 0) return 1;
      best[way] = std::min(best[way], seconds);
    }
    std::printf("unsigned %.3f\nsigned %.3f\n", best[0], best[1]);
    return 0;
  }
  if (mode == "skip" && argc == 3) {
    PrepareUpdate(std::atoi(argv[2]), true);
    return TimePage("skip") ? 0 : 1;
  }
  std::fprintf(stderr, "usage: file_list_bench fetch BASE N | skip N\n");
  return 2;
}
