#include "pages/finish_page.h"

#include "manifest/manifest.h"
#include "res/resource.h"
#include "trust/program_trust.h"

namespace ostrel {

namespace {
constexpr char kUpToDateText[] =
    "\xcf\xd6\xd4\xda\xd2\xd1\xbe\xad\xca\xc7\xd7\xee\xd0\xc2\xb0\xe6"
    "\xb1\xbe!";  // "现在已经是最新版本!"
// "已验证发布者对本次更新的签名"
constexpr char kVerifiedText[] =
    "\xd2\xd1\xd1\xe9\xd6\xa4\xb7\xa2\xb2\xbc\xd5\xdf\xb6\xd4\xb1\xbe\xb4\xce\xb8\xfc"
    "\xd0\xc2\xb5\xc4\xc7\xa9\xc3\xfb";

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
  if (!updateNeeded_) SetControlText(IDC_FINISH_TEXT, kUpToDateText);
  // Each file was checked against the signed manifest before it was stored.
  if (updateNeeded_ && StoredManifestIsSigned(files_, programFolder_)) {
    SetControlText(IDC_FINISH_VERIFIED, kVerifiedText);
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
