// The application object: sets up the platform and runs the wizard once.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "app/wizard.h"
#include "net/http_fetcher.h"

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

  // How long the download pages wait for a byte before a transfer fails as stalled.
  std::chrono::milliseconds stallLimit = kStallLimit;

 private:
  std::optional<std::string> programFolder_;
};

}  // namespace ostrel
