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
#include "platform/file_system.h"
#include "platform/file_tree.h"
#include "platform/processes.h"
#include "platform/profile_store.h"
#include "platform/registry.h"
#include "res/resource.h"
#include "settings/paths.h"

namespace ostrel {

int DialogPages::RunServerSelectPage() {
  ServerSelectPage page;
  return static_cast<int>(page.RunModal());
}

int32_t DialogPages::RunConnectPage() {
  ConnectPage page;
  page.RunModal();
  return page.outcome();
}

int32_t DialogPages::RunFileListPage() {
  FileListPage page;
  page.RunModal();
  return page.outcome();
}

int DialogPages::RunFinishPage(int32_t updateNeeded) {
  FinishPage page;
  page.updateNeeded = updateNeeded;
  return static_cast<int>(page.RunModal());
}

void DialogPages::RunConfirmCloseDialog() {
  ConfirmCloseDialog dialog({platform::SystemFileSystem(), platform::SystemFileTree(),
                             platform::SystemProfileStore(), platform::SystemProcesses(),
                             ProgramLog()});
  dialog.RunModal();
}

bool UpdaterApp::RunWizard() {
  try {
    // The pages use the progress bar and list view classes of the common controls.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    platform::FileSystem& files = platform::SystemFileSystem();
    const WizardEnvironment environment{platform::CurrentUserRegistry(), files,
                                        platform::SystemProfileStore(), ProgramLog()};
    LogRunStart(environment);
    std::string programFolder = GetProgramFolder(files);
    if (!programFolder.empty()) {
      // What an interrupted store left behind is never a file of the update.
      AppendBackslash(programFolder);
      RemoveLeftoverPartials(platform::SystemFileTree(), programFolder + kUpdateFolder + "\\",
                             ProgramLog());
    }
    DialogPages pages;
    lastEnd = RunWizardSequence(pages, environment);
    std::fprintf(stderr, "Ostrel: wizard ended: %s\n", WizardEndName(lastEnd));
  } catch (...) {
    std::fprintf(stderr, "Ostrel: the wizard stopped on an unexpected error\n");
  }
  return false;
}

}  // namespace ostrel
