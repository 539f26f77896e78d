#include "app/updater_app.h"

#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include <cstdio>

#include "install/install.h"
#include "layout/paths.h"
#include "log/run_log.h"
#include "pages/confirm_close_dialog.h"
#include "pages/connect_page.h"
#include "pages/file_list_page.h"
#include "pages/finish_page.h"
#include "pages/server_select_page.h"
#include "pages/worker_page.h"
#include "platform/catch_all.h"
#include "platform/crypto.h"
#include "platform/file_system.h"
#include "platform/file_tree.h"
#include "platform/ini_files.h"
#include "platform/internet.h"
#include "platform/ole_date_clock.h"
#include "platform/processes.h"
#include "platform/registry.h"
#include "steps/file_download.h"
#include "trust/program_trust.h"
#include "user_texts.h"

namespace updater {

namespace {

// What the program waits at its end for a store a cancelled page left running: a flush of a
// file of a few GiB takes seconds.
constexpr std::chrono::milliseconds kStoreAfterPageWait{60000};

void RunWizard(const ProgramContext& program) {
  const bool ended = platform::CatchAll(false, [&program] {
    // The pages use the progress bar and list view classes of the common controls.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    LogRunStart(program);
    // What an interrupted store left behind is never a file of the update; the part of a
    // file the stored manifest still lists is kept for its fetch to continue.
    RemoveLeftoverPartials(program.tree, program.layout.updateFolder, program.log,
                           ContinuedPartials(program.profiles, program.layout.files));
    DialogPages pages(program);
    const WizardEnd end = RunWizardSequence(pages, program);
    std::fprintf(stderr, "Ostrel: wizard ended: %s\n", WizardEndName(end));
    return true;
  });
  if (!ended) std::fprintf(stderr, "Ostrel: the wizard stopped on an unexpected error\n");
}

}  // namespace

ProgramServices::ProgramServices(UpdateLayout layout, bool requireSignedUpdates)
    : internet_("Ostrel"),
      log_(platform::SystemFileSystem(), layout.updateFolder),
      trust_(platform::SystemFileSystem(), platform::CurrentUserRegistry(),
             platform::SystemCrypto(), layout.signedMark, log_, requireSignedUpdates),
      context_{std::move(layout),
               platform::CurrentUserRegistry(),
               platform::SystemFileSystem(),
               platform::SystemFileTree(),
               platform::SystemIniFiles(),
               internet_,
               platform::SystemOleDateClock(),
               platform::SystemProcesses(),
               log_,
               &trust_.context()} {}

DialogPages::DialogPages(const ProgramContext& program) : program_(program) {}

int DialogPages::RunServerSelectPage() {
  ServerSelectPage page(program_.registry);
  return static_cast<int>(page.RunModal());
}

Outcome DialogPages::RunConnectPage() {
  ConnectPage page(program_, stallLimit);
  page.RunModal();
  return page.outcome();
}

Outcome DialogPages::RunFileListPage() {
  FileListPage page(program_, stallLimit);
  page.RunModal();
  return page.outcome();
}

int DialogPages::RunFinishPage(bool updateNeeded) {
  FinishPage page(updateNeeded, program_);
  return static_cast<int>(page.RunModal());
}

int DialogPages::RunConfirmCloseDialog() {
  ConfirmCloseDialog dialog(program_);
  return static_cast<int>(dialog.RunModal());
}

void UpdaterApp::Run(bool requireSignedUpdates) {
  const std::optional<UpdateLayout> layout = LayoutOfProgram();
  if (!layout) {
    std::fprintf(stderr, "Ostrel: the program folder is unknown; nothing is updated\n");
    MessageBoxA(nullptr, texts::kProgramFolderUnknown, texts::kNoticeCaption,
                MB_OK | MB_ICONWARNING);
    return;
  }
  // Everything a page worker uses lives here: a page cancelled while its worker stored a file
  // has ended, the store has not. So the program waits for the workers before `services` goes;
  // when one is still busy after the wait, the process ends right here (ExitProcess runs no
  // destructor of this program), never destroying what that worker still uses.
  ProgramServices services(*layout, requireSignedUpdates);
  RunWizard(services.context());
  if (!WaitForPageWorkers(kStoreAfterPageWait)) {
    std::fprintf(stderr, "Ostrel: a page's worker was still storing when the program ended\n");
    ExitProcess(0);
  }
}

}  // namespace updater
