// Runs one of Ostrel's dialogs on its own and exits with its modal result, so that the UI
// tests can check each dialog's result through the driver's expect-exit.
//   page_host finish 0|1    FinishPage with updateNeeded 0 or 1
//   page_host confirm       ConfirmCloseDialog (its system menu opens the About box); Continue
//                           installs the update below page_host's own folder
//   page_host about         AboutDialog
//   page_host server        ServerSelectPage
//   page_host connect [MS]  ConnectPage; exits with its outcome instead
//   page_host filelist [MS] FileListPage; exits with its outcome instead
// MS: the stall limit in milliseconds, for a test that cannot wait the program's own.
#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/updater_app.h"
#include "layout/update_layout.h"
#include "pages/about_dialog.h"
#include "pages/worker_page.h"

int main(int argc, char** argv) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  // Never destroyed: the host's end must not take what a worker still running may use.
  const updater::ProgramServices* const services =
      new updater::ProgramServices(updater::LayoutOfProgram().value(),
                                   /*requireSignedUpdates=*/false);
  updater::DialogPages pages(services->context());
  const char* which = argc > 1 ? argv[1] : "";
  if (std::strcmp(which, "finish") == 0 && argc > 2) {
    return pages.RunFinishPage(std::strcmp(argv[2], "0") != 0);
  }
  if (std::strcmp(which, "confirm") == 0) return pages.RunConfirmCloseDialog();
  if (std::strcmp(which, "about") == 0) {
    updater::AboutDialog about;
    return static_cast<int>(about.RunModal());
  }
  if (std::strcmp(which, "server") == 0) return pages.RunServerSelectPage();
  if (argc > 2 && std::strcmp(which, "finish") != 0) {
    pages.stallLimit = std::chrono::milliseconds(std::atoi(argv[2]));
  }
  // As Ostrel does at its end, the host waits for a store a cancelled page left running.
  if (std::strcmp(which, "connect") == 0 || std::strcmp(which, "filelist") == 0) {
    const updater::Outcome outcome =
        which[0] == 'c' ? pages.RunConnectPage() : pages.RunFileListPage();
    updater::WaitForPageWorkers(std::chrono::seconds(60));
    return static_cast<int>(outcome);
  }
  std::fprintf(stderr,
               "usage: page_host finish 0|1 | confirm | about | server | connect | filelist\n");
  return 100;
}
