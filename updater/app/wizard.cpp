#include "app/wizard.h"

#include "settings/registry_values.h"
#include "settings/versions.h"

namespace ostrel {

const char* WizardEndName(WizardEnd end) {
  switch (end) {
    case WizardEnd::kServerPageCancelled:
      return "server page cancelled";
    case WizardEnd::kConnectNotCompleted:
      return "connect page not completed";
    case WizardEnd::kFileListNotCompleted:
      return "file-list page not completed";
    case WizardEnd::kUpToDate:
      return "up to date";
    case WizardEnd::kFinishPageNotConfirmed:
      return "finish page not confirmed";
    case WizardEnd::kConfirmDialogClosed:
      return "confirm dialog closed";
  }
  return "?";
}

bool IsUpdateNeeded(const WizardEnvironment& environment) {
  const std::string installed = ReadInstalledVersion(environment.registry);
  const std::string offered = ReadManifestVersion(environment.files, environment.profiles);
  return CompareVersions(installed, offered) < 0;
}

WizardEnd RunWizardSequence(WizardPages& pages, const WizardEnvironment& environment) {
  // Any result but Cancel goes on, including -1 from a page that could not be shown.
  if (pages.RunServerSelectPage() == kResultCancel) return WizardEnd::kServerPageCancelled;
  if (pages.RunConnectPage() != Succeeded) return WizardEnd::kConnectNotCompleted;

  const bool updateNeeded = IsUpdateNeeded(environment);
  if (updateNeeded && pages.RunFileListPage() != Succeeded) {
    return WizardEnd::kFileListNotCompleted;
  }
  const int finish = pages.RunFinishPage(updateNeeded ? 1 : 0);
  if (!updateNeeded) return WizardEnd::kUpToDate;
  if (finish != kResultOk) return WizardEnd::kFinishPageNotConfirmed;

  pages.RunConfirmCloseDialog();
  return WizardEnd::kConfirmDialogClosed;
}

}  // namespace ostrel
