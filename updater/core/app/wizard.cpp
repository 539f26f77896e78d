#include "app/wizard.h"

#include "manifest/manifest.h"
#include "manifest/versions.h"
#include "settings/registry_values.h"
#include "settings/server_list.h"

namespace updater {

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

bool IsUpdateNeeded(const ProgramContext& program) {
  const std::string installed = ReadInstalledVersion(program.registry);
  const std::string offered = ReadManifestVersionAt(program.profiles, program.layout.files);
  return CompareVersions(installed, offered) < 0;
}

namespace {

WizardEnd RunSteps(WizardPages& pages, const ProgramContext& program) {
  // Any result but Cancel goes on, including -1 from a page that could not be shown.
  const int server = pages.RunServerSelectPage();
  program.log.Write("server " + std::to_string(ReadSelectedServer(program.registry)) + ": " +
                    SelectedServerUrl(program.registry, ""));
  if (server == kResultCancel) return WizardEnd::kServerPageCancelled;
  if (pages.RunConnectPage() != Outcome::Succeeded) return WizardEnd::kConnectNotCompleted;

  const bool updateNeeded = IsUpdateNeeded(program);
  if (updateNeeded && pages.RunFileListPage() != Outcome::Succeeded) {
    return WizardEnd::kFileListNotCompleted;
  }
  const int finish = pages.RunFinishPage(updateNeeded);
  if (!updateNeeded) return WizardEnd::kUpToDate;
  if (finish != kResultOk) return WizardEnd::kFinishPageNotConfirmed;

  pages.RunConfirmCloseDialog();
  return WizardEnd::kConfirmDialogClosed;
}

}  // namespace

void LogRunStart(const ProgramContext& program) {
  program.log.Write("run start: Ostrel " + std::string(kOstrelVersion) + ", installed " +
                    ReadInstalledVersion(program.registry));
}

WizardEnd RunWizardSequence(WizardPages& pages, const ProgramContext& program) {
  const WizardEnd end = RunSteps(pages, program);
  program.log.Write(std::string("run end: ") + WizardEndName(end));
  return end;
}

}  // namespace updater
