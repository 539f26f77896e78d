// Runs the file-list page once over the manifest in this program's update\ folder and prints
// its outcome and this process's memory as GetProcessMemoryInfo gives it: private bytes and
// working set before the page ("idle-private-kib", "idle-kib"), and the peak working set by
// the page's end ("peak-kib"). (Under Wine these come from Linux's account of the process:
// RssAnon, VmRSS and VmHWM.) A page that fails stays open, as it does for a person; with
// "close" the benchmark closes it once the log says the list is done.
// Usage: large_file_bench [close]. Output: one "<name> <value>" line each.
#include <windows.h>
// commctrl.h and psapi.h need windows.h first.
#include <commctrl.h>
#include <psapi.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "app/updater_app.h"
#include "layout/paths.h"
#include "page_times.h"
#include "running_program.h"

namespace {

PROCESS_MEMORY_COUNTERS_EX Memory() {
  PROCESS_MEMORY_COUNTERS_EX counters = {};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                       sizeof counters);
  return counters;
}

long long Kib(SIZE_T bytes) { return static_cast<long long>(bytes / 1024); }

BOOL CALLBACK CancelWindow(HWND window, LPARAM) {
  PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
  return TRUE;
}

// Presses cancel on the page once its log has the run's last line.
void CloseWhenDone(const std::string& log, DWORD pageThread, const std::atomic<bool>& over) {
  while (!over) {
    std::ifstream in(log, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    if (text.str().find("file list: ") != std::string::npos) {
      EnumThreadWindows(pageThread, &CancelWindow, 0);
    }
    Sleep(200);
  }
}

}  // namespace

int main(int argc, char** argv) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  bench::LoadDisplayDriver();
  updater::DialogPages pages(bench::RunningProgram());
  const PROCESS_MEMORY_COUNTERS_EX idle = Memory();
  std::printf("idle-private-kib %lld\nidle-kib %lld\n", Kib(idle.PrivateUsage),
              Kib(idle.WorkingSetSize));
  std::atomic<bool> over{false};
  std::thread closer;
  if (argc > 1 && std::strcmp(argv[1], "close") == 0) {
    closer = std::thread(CloseWhenDone, bench::RunningProgram().layout.updateFolder + "ostrel.log",
                         GetCurrentThreadId(), std::cref(over));
  }
  const updater::Outcome outcome = bench::PageTimes::Time([&] { return pages.RunFileListPage(); });
  over = true;
  if (closer.joinable()) closer.join();
  const PROCESS_MEMORY_COUNTERS_EX after = Memory();
  std::printf("peak-kib %lld\nprivate-kib %lld\nseconds %.3f\nsucceeded %d\n",
              Kib(after.PeakWorkingSetSize), Kib(after.PrivateUsage), bench::PageTimes::ended,
              outcome == updater::Outcome::Succeeded ? 1 : 0);
  return 0;
}
