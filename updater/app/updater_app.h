// The application object: sets up the platform and runs the wizard once.
#pragma once

#include "app/wizard.h"

namespace ostrel {

class UpdaterApp {
 public:
  // Runs the whole wizard on the calling thread. Always false: no message loop follows, the
  // process ends.
  bool RunWizard();

  // How the last run ended (for the log line and the tests).
  WizardEnd lastEnd = WizardEnd::kServerPageCancelled;
};

// The pages as this build has them; the steps still to come are placeholders that say so.
class DialogPages : public WizardPages {
 public:
  int RunServerSelectPage() override;
  int32_t RunConnectPage() override;
  int32_t RunFileListPage() override;
  int RunFinishPage(int32_t updateNeeded) override;
  void RunConfirmCloseDialog() override;
};

}  // namespace ostrel
