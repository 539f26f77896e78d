#include "app/updater_app.h"

#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include <cstdio>

#include "install/install.h"
#include "log/run_log.h"
#include "pages/confirm_close_dialog.h"
#include "pages/connect_page.h"
#include "pages/file_list_page.h"
#include "pages/finish_page.h"
#include "pages/server_select_page.h"
#include "pages/worker_page.h"
#include "platform/catch_all.h"
#include "platform/day_clock.h"
#include "platform/file_system.h"
#include "platform/file_tree.h"
#include "platform/internet.h"
#include "platform/processes.h"
#include "platform/profile_store.h"
#include "platform/registry.h"
#include "settings/paths.h"
#include "steps/file_download.h"
#include "trust/program_trust.h"

namespace ostrel {

namespace {

platform::InternetClient& Internet() {
  // Never destroyed: a page's worker may still be on its way out while the program ends.
  static platform::WinInetClient* const client = new platform::WinInetClient("Ostrel");
  return *client;
}

// What the program waits at its end for a store a cancelled page left running: a flush of a
// file of a few GiB takes seconds.
constexpr std::chrono::milliseconds kStoreAfterPageWait{60000};

}  // namespace

DialogPages::DialogPages(std::optional<std::string> programFolder)
    : programFolder_(std::move(programFolder)) {}

int DialogPages::RunServerSelectPage() {
  ServerSelectPage page(platform::CurrentUserRegistry());
  return static_cast<int>(page.RunModal());
}

Outcome DialogPages::RunConnectPage() {
  ConnectPage page({platform::CurrentUserRegistry(), platform::SystemFileSystem(), programFolder_,
                    Internet(), platform::SystemDayClock(), ProgramLog(), &ProgramTrust(),
                    stallLimit});
  page.RunModal();
  return page.outcome();
}

Outcome DialogPages::RunFileListPage() {
  FileListPage page({platform::CurrentUserRegistry(), platform::SystemFileSystem(), programFolder_,
                     platform::SystemProfileStore(), Internet(), platform::SystemDayClock(),
                     ProgramLog(), &ProgramTrust(), stallLimit});
  page.RunModal();
  return page.outcome();
}

int DialogPages::RunFinishPage(bool updateNeeded) {
  FinishPage page(updateNeeded, platform::SystemFileSystem(), programFolder_);
  return static_cast<int>(page.RunModal());
}

int DialogPages::RunConfirmCloseDialog() {
  ConfirmCloseDialog dialog({platform::SystemFileSystem(), platform::SystemFileTree(),
                             platform::SystemProfileStore(), platform::SystemProcesses(),
                             ProgramLog(), programFolder_});
  return static_cast<int>(dialog.RunModal());
}

void UpdaterApp::RunWizard() {
  const bool ended = platform::CatchAll(false, [] {
    // The pages use the progress bar and list view classes of the common controls.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    const std::optional<std::string> programFolder = ProgramFolder();
    const WizardEnvironment environment{platform::CurrentUserRegistry(), programFolder,
                                        platform::SystemProfileStore(), ProgramLog()};
    LogRunStart(environment);
    if (programFolder) {
      // What an interrupted store left behind is never a file of the update; the part of a
      // file the stored manifest still lists is kept for its fetch to continue.
      RemoveLeftoverPartials(
          platform::SystemFileTree(), UpdateFolderIn(*programFolder), ProgramLog(),
          ContinuedPartials(platform::SystemProfileStore(), UpdateFiles::In(*programFolder)));
    }
    DialogPages pages(programFolder);
    const WizardEnd end = RunWizardSequence(pages, environment);
    std::fprintf(stderr, "Ostrel: wizard ended: %s\n", WizardEndName(end));
    return true;
  });
  if (!ended) std::fprintf(stderr, "Ostrel: the wizard stopped on an unexpected error\n");
  // A page cancelled while its worker stored a file has ended; the store has not. Ending the
  // process now would cut it between its flush, its rename and its record.
  if (!WaitForPageWorkers(kStoreAfterPageWait)) {
    std::fprintf(stderr, "Ostrel: a page's worker was still storing when the program ended\n");
  }
}

}  // namespace ostrel
