#include "pages/finish_page.h"

#include "manifest/manifest.h"
#include "res/resource.h"
#include "trust/program_trust.h"
#include "user_texts.h"

namespace ostrel {

namespace {
// True when the stored manifest is signed by one of the program's keys and trusted.
bool StoredManifestIsSigned(platform::FileSystem& files,
                            const std::optional<std::string>& programFolder) {
  if (!programFolder) return false;
  const std::optional<std::string> manifest =
      platform::ReadWholeFile(files, UpdateFiles::In(*programFolder).manifest);
  return manifest && JudgeManifest(ProgramTrust(), *manifest).Signed();
}
}  // namespace

FinishPage::FinishPage(bool updateNeeded, platform::FileSystem& files,
                       std::optional<std::string> programFolder)
    : Dialog(IDD_FINISH_PAGE),
      updateNeeded_(updateNeeded),
      files_(files),
      programFolder_(std::move(programFolder)) {}

bool FinishPage::OnInitDialog() {
  // The template's text says the files were downloaded.
  if (!updateNeeded_) SetControlText(IDC_FINISH_TEXT, texts::kUpToDate);
  // Each file was checked against the signed manifest before it was stored.
  if (updateNeeded_ && StoredManifestIsSigned(files_, programFolder_)) {
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

}  // namespace ostrel
