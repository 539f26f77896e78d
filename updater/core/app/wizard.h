// The wizard sequence: which page runs after which, and every way the run can end.
#pragma once

#include <cstdint>

#include "program/program_context.h"
#include "steps/page_worker_state.h"

namespace updater {

// Ostrel's own version, as its version block gives it.
inline constexpr char kOstrelVersion[] = "1.0.0.1";

// Modal results of the pages; a run that could not start gives -1.
inline constexpr int kResultOk = 1;
inline constexpr int kResultCancel = 2;

// Runs each page modally: the page object is created before its run and destroyed after it,
// with no parent window. The download pages report the outcome they hold once their run has
// returned (their modal results are not used).
class WizardPages {
 public:
  virtual ~WizardPages() = default;
  virtual int RunServerSelectPage() = 0;
  virtual Outcome RunConnectPage() = 0;
  virtual Outcome RunFileListPage() = 0;
  virtual int RunFinishPage(bool updateNeeded) = 0;
  // Its result is not used: the run ends after it either way.
  virtual int RunConfirmCloseDialog() = 0;
};

// How a run ended.
enum class WizardEnd {
  kServerPageCancelled,
  kConnectNotCompleted,
  kFileListNotCompleted,
  kUpToDate,                // no update needed; the finish page was closed either way
  kFinishPageNotConfirmed,  // files fetched, but the finish page was not closed with OK
  kConfirmDialogClosed,     // the confirm dialog ran (install or cancel is its own business)
};

const char* WizardEndName(WizardEnd end);

// True when the installed reader is older than the manifest in update\update.ini.
bool IsUpdateNeeded(const ProgramContext& program);

// The log's first line of a run: Ostrel's version and the installed reader's.
void LogRunStart(const ProgramContext& program);

// The whole sequence: server page, connect page, version decision, file-list page (only when
// an update is needed), finish page, confirm dialog (only when files were fetched and the
// finish page was confirmed). Shows nothing of its own; logs the server chosen, once the
// server page has run, and how the run ended.
WizardEnd RunWizardSequence(WizardPages& pages, const ProgramContext& program);

}  // namespace updater
