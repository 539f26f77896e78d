// How long a download page takes to end once it is cancelled, and how long the confirm dialog
// leaves its thread unanswered while the update is checked before the install. The page or the
// dialog runs on this program's main thread; a second thread presses its buttons and notes the
// time.
//   cancel_bench connect BASE_URL button|esc   the connect page fetching BASE_URL/update.htm
//                                              (the base is stored as "Update Website"),
//                                              cancelled once the transfer is under way
//   cancel_bench filelist TOTAL                the file-list page over this program's update\,
//                                              cancelled once its status line shows TOTAL bytes:
//                                              the body is in and its store flushes it
//   cancel_bench install                       the confirm dialog over this program's update\,
//                                              Continue pressed: the check, then the install
// A slow transfer is under way once the status line shows bytes; a stalled one (headers, then
// nothing) once the page has waited a second. Prints "cancel <ms>" (press to the end of the
// page's modal run) and the page's outcome; filelist adds "seen <ms>" (press to the moment the
// page's thread took it from its queue), "stored-after <ms>" (press to the worker's last log
// line) and "recorded 0|1"; install prints "longest-unanswered <ms>" (the
// longest a WM_NULL sent to the dialog every 10 ms waited for its answer) and "ended <ms>".
#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "app/updater_app.h"
#include "bench_common.h"
#include "layout/paths.h"
#include "page_times.h"
#include "platform/registry.h"
#include "res/resource.h"
#include "running_program.h"
#include "settings/registry_values.h"

namespace {

using bench::Clock;

HWND FindPage(DWORD thread) {
  HWND found = nullptr;
  EnumThreadWindows(
      thread,
      [](HWND window, LPARAM result) {
        if (GetDlgItem(window, IDC_PAGE_MESSAGE) == nullptr) return TRUE;
        *reinterpret_cast<HWND*>(result) = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

double MillisecondsBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

std::string ReadLog() {
  std::ifstream in(bench::RunningProgram().layout.updateFolder + "ostrel.log", std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The bytes the status line shows ("读取 N bytes ..."); -1 when it shows none.
long long StatusBytes(HWND page) {
  char status[128] = {};
  long long bytes = -1;
  if (GetDlgItemTextA(page, IDC_TRANSFER_STATUS, status, sizeof status) > 5) {
    std::sscanf(status + 5, "%lld", &bytes);
  }
  return bytes;
}

int RunConnect(const char* base, bool esc) {
  platform::CurrentUserRegistry()
      .CreateKey(updater::kReaderKey)
      ->SetValue("Update Website", platform::StringValue(base));

  Clock::time_point pressed{};
  const DWORD pageThread = GetCurrentThreadId();
  std::thread presser([&] {
    HWND page = nullptr;
    while ((page = FindPage(pageThread)) == nullptr) Sleep(10);
    const auto shown = Clock::now();
    char status[128] = {};
    // Under way: bytes on the status line, or a second of waiting for them.
    while (GetDlgItemTextA(page, IDC_TRANSFER_STATUS, status, sizeof status) == 0 &&
           Clock::now() - shown < std::chrono::seconds(1)) {
      Sleep(10);
    }
    pressed = Clock::now();
    PostMessageA(page, WM_COMMAND, esc ? IDCANCEL : MAKEWPARAM(IDC_WIZARD_CANCEL, BN_CLICKED),
                 esc ? 0 : reinterpret_cast<LPARAM>(GetDlgItem(page, IDC_WIZARD_CANCEL)));
  });
  const updater::Outcome outcome = updater::DialogPages(bench::RunningProgram()).RunConnectPage();
  const auto ended = Clock::now();
  presser.join();
  std::printf("cancel %.0f\noutcome %d\n", MillisecondsBetween(pressed, ended),
              static_cast<int>(outcome));
  // The worker may still wait on the network; the program ends without waiting for it.
  return 0;
}

// When the page's thread took the cancel press out of its queue.
Clock::time_point cancelSeen{};
LRESULT CALLBACK SeeCancel(int code, WPARAM removed, LPARAM message) {
  const MSG* seen = reinterpret_cast<const MSG*>(message);
  if (code == HC_ACTION && removed == PM_REMOVE && seen->message == WM_COMMAND &&
      LOWORD(seen->wParam) == IDC_WIZARD_CANCEL && cancelSeen == Clock::time_point{}) {
    cancelSeen = Clock::now();
  }
  return CallNextHookEx(nullptr, code, removed, message);
}

int RunFileList(long long total) {
  bench::LoadDisplayDriver();
  Clock::time_point pressed{};
  const DWORD pageThread = GetCurrentThreadId();
  std::thread presser([&] {
    HWND page = nullptr;
    while ((page = FindPage(pageThread)) == nullptr) Sleep(5);
    while (StatusBytes(page) < total) Sleep(5);
    pressed = Clock::now();
    PostMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_WIZARD_CANCEL, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(page, IDC_WIZARD_CANCEL)));
  });
  HHOOK hook = SetWindowsHookExA(WH_GETMESSAGE, &SeeCancel, nullptr, pageThread);
  const updater::Outcome outcome = updater::DialogPages(bench::RunningProgram()).RunFileListPage();
  const auto ended = Clock::now();
  UnhookWindowsHookEx(hook);
  presser.join();
  // The worker's last line ends its run, however the page ended.
  std::string log;
  while ((log = ReadLog()).find("file list: ") == std::string::npos &&
         Clock::now() - ended < std::chrono::seconds(120)) {
    Sleep(5);
  }
  const auto stored = Clock::now();
  std::printf("cancel %.0f\nseen %.0f\nstored-after %.0f\nrecorded %d\noutcome %d\n",
              MillisecondsBetween(pressed, ended), MillisecondsBetween(pressed, cancelSeen),
              MillisecondsBetween(pressed, stored),
              log.find("file list: 1 entries, 0 recorded before, 0 failed") != std::string::npos,
              static_cast<int>(outcome));
  return 0;
}

HWND FindConfirmDialog(DWORD thread) {
  HWND found = nullptr;
  EnumThreadWindows(
      thread,
      [](HWND window, LPARAM result) {
        if (GetDlgItem(window, IDOK) == nullptr || GetDlgItem(window, IDCANCEL) == nullptr) {
          return TRUE;
        }
        *reinterpret_cast<HWND*>(result) = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

int RunInstall() {
  bench::LoadDisplayDriver();
  Clock::time_point pressed{};
  double longest = 0;
  const DWORD dialogThread = GetCurrentThreadId();
  std::thread presser([&] {
    HWND dialog = nullptr;
    while ((dialog = FindConfirmDialog(dialogThread)) == nullptr) Sleep(10);
    pressed = Clock::now();
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    // A person's clicks and the screen's repaints wait as long as this does.
    while (IsWindow(dialog)) {
      const auto sent = Clock::now();
      DWORD_PTR answer = 0;
      SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &answer);
      longest = std::max(longest, MillisecondsBetween(sent, Clock::now()));
      Sleep(10);
    }
  });
  updater::DialogPages(bench::RunningProgram()).RunConfirmCloseDialog();
  const auto ended = Clock::now();
  presser.join();
  std::printf("longest-unanswered %.0f\nended %.0f\n", longest,
              MillisecondsBetween(pressed, ended));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  if (argc == 4 && std::strcmp(argv[1], "connect") == 0) {
    return RunConnect(argv[2], std::strcmp(argv[3], "esc") == 0);
  }
  if (argc == 3 && std::strcmp(argv[1], "filelist") == 0) return RunFileList(std::atoll(argv[2]));
  if (argc == 2 && std::strcmp(argv[1], "install") == 0) return RunInstall();
  std::fprintf(stderr,
               "usage: cancel_bench connect BASE_URL button|esc | filelist TOTAL | install\n");
  return 2;
}
