// The application object: sets up the platform and runs the wizard once.
#pragma once

#include <optional>
#include <string>

#include "app/wizard.h"

namespace ostrel {

class UpdaterApp {
 public:
  // Runs the whole wizard on the calling thread; the process ends after it.
  void RunWizard();
};

// The dialogs over the running system: each page is given the platform it works with, and
// the program folder.
class DialogPages : public WizardPages {
 public:
  explicit DialogPages(std::optional<std::string> programFolder);

  int RunServerSelectPage() override;
  Outcome RunConnectPage() override;
  Outcome RunFileListPage() override;
  int RunFinishPage(bool updateNeeded) override;
  int RunConfirmCloseDialog() override;

 private:
  std::optional<std::string> programFolder_;
};

}  // namespace ostrel
