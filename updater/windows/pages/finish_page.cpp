#include "pages/finish_page.h"

#include "manifest/manifest.h"
#include "res/resource.h"
#include "user_texts.h"

namespace updater {

namespace {
// True when the stored manifest is signed by one of the program's keys and trusted.
bool StoredManifestIsSigned(const ProgramContext& program) {
  if (program.trust == nullptr) return false;
  const std::optional<std::string> manifest =
      platform::ReadWholeFile(program.files, program.layout.files.manifest);
  return manifest && JudgeManifest(*program.trust, *manifest).Signed();
}
}  // namespace

FinishPage::FinishPage(bool updateNeeded, const ProgramContext& program)
    : Dialog(IDD_FINISH_PAGE), updateNeeded_(updateNeeded), program_(program) {}

bool FinishPage::OnInitDialog() {
  // The template's text says the files were downloaded.
  if (!updateNeeded_) SetControlText(IDC_FINISH_TEXT, texts::kUpToDate);
  // Each file was checked against the signed manifest before it was stored.
  if (updateNeeded_ && StoredManifestIsSigned(program_)) {
    SetControlText(IDC_FINISH_VERIFIED, texts::kVerified);
  }
  return true;
}

bool FinishPage::OnCommand(int id, int notifyCode) {
  switch (id) {
    case IDC_WIZARD_NEXT:
      EndDialog(kOk);
      return true;
    case IDC_WIZARD_CANCEL:
      EndDialog(kCancel);
      return true;
    case IDC_WIZARD_HELP:
      return true;  // no help content behind it
    default:
      return Dialog::OnCommand(id, notifyCode);
  }
}

}  // namespace updater
