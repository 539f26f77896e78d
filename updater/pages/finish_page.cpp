#include "pages/finish_page.h"

#include "res/resource.h"

namespace ostrel {

namespace {
constexpr char kUpToDateText[] =
    "\xcf\xd6\xd4\xda\xd2\xd1\xbe\xad\xca\xc7\xd7\xee\xd0\xc2\xb0\xe6"
    "\xb1\xbe!";  // "现在已经是最新版本!"
}  // namespace

FinishPage::FinishPage() : Dialog(IDD_FINISH_PAGE) {}

bool FinishPage::OnInitDialog() {
  // The template's text says the files were downloaded.
  if (updateNeeded == 0) SetControlText(IDC_FINISH_TEXT, kUpToDateText);
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
