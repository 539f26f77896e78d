#include "pages/placeholder_page.h"

#include <cstdio>

#include "res/resource.h"

namespace ostrel {

namespace {
constexpr int kNoteId = 1999;
// The controls a built page fills in; hidden so that they do not suggest work in progress.
constexpr int kPageControls[] = {IDC_TRANSFER_STATUS, IDC_FILE_LIST, IDC_PROGRESS, IDC_PAGE_MESSAGE,
                                 IDC_SERVER_LIST};
}  // namespace

PlaceholderPage::PlaceholderPage(int templateId, const char* pageName)
    : Dialog(templateId), templateId_(templateId), pageName_(pageName) {}

bool PlaceholderPage::OnInitDialog() {
  char note[256];
  const int length = std::snprintf(note, sizeof note,
                                   "%s (dialog %d) is not built yet.\r\n\r\nNext goes on as if "
                                   "this step had completed; Cancel ends the wizard.",
                                   pageName_, templateId_);
  if (length < 0 || static_cast<size_t>(length) >= sizeof note) note[0] = '\0';
  std::fprintf(stderr, "Ostrel: %s (dialog %d) is not built yet\n", pageName_, templateId_);

  for (int id : kPageControls) {
    if (HWND control = Control(id)) ShowWindow(control, SW_HIDE);
  }
  RECT area = {112, 66, 112 + 180, 66 + 80};
  MapDialogRect(Window(), &area);
  HWND text = CreateWindowExA(0, "STATIC", note, WS_CHILD | WS_VISIBLE | SS_LEFT, area.left,
                              area.top, area.right - area.left, area.bottom - area.top, Window(),
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(kNoteId)),
                              GetModuleHandleA(nullptr), nullptr);
  SendMessageA(text, WM_SETFONT, SendMessageA(Window(), WM_GETFONT, 0, 0), FALSE);
  EnableControl(IDC_WIZARD_NEXT, true);
  SendMessageA(Window(), DM_SETDEFID, IDC_WIZARD_NEXT, 0);
  return true;
}

bool PlaceholderPage::OnCommand(int id, int notifyCode) {
  switch (id) {
    case IDC_WIZARD_NEXT:
      outcome = Succeeded;
      EndDialog(kOk);
      return true;
    case IDC_WIZARD_CANCEL:
      outcome = Cancelled;
      EndDialog(kCancel);
      return true;
    case IDC_WIZARD_HELP:
      return true;
    default:
      return Dialog::OnCommand(id, notifyCode);
  }
}

}  // namespace ostrel
