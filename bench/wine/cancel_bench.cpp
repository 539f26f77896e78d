// How long a download page takes to end once it is cancelled while its transfer waits on the
// network. The page runs on this program's main thread; a second thread presses the page's
// cancel button (or Esc) once the transfer is under way and notes the time; the figure is the
// time from that press until the page's modal run has returned.
//   cancel_bench connect BASE_URL button|esc   the connect page fetching BASE_URL/update.htm
//                                              (the base is stored as "Update Website")
// A slow transfer is under way once the status line shows bytes; a stalled one (headers, then
// nothing) once the page has waited a second. Prints "cancel <ms>" and the page's outcome.
#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <thread>

#include "app/updater_app.h"
#include "bench_common.h"
#include "platform/registry.h"
#include "res/resource.h"
#include "settings/paths.h"
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

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 || std::strcmp(argv[1], "connect") != 0) {
    std::fprintf(stderr, "usage: cancel_bench connect BASE_URL button|esc\n");
    return 2;
  }
  const bool esc = std::strcmp(argv[3], "esc") == 0;
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  platform::CurrentUserRegistry()
      .CreateKey(ostrel::kReaderKey)
      ->SetValue("Update Website", platform::StringValue(argv[2]));

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
  const ostrel::Outcome outcome = ostrel::DialogPages(ostrel::ProgramFolder()).RunConnectPage();
  const auto ended = Clock::now();
  presser.join();
  std::printf("cancel %.0f\noutcome %d\n",
              std::chrono::duration<double, std::milli>(ended - pressed).count(),
              static_cast<int>(outcome));
  // The worker may still wait on the network; the program ends without waiting for it.
  return 0;
}
