#include "pages/server_select_page.h"

#include "res/resource.h"
#include "steps/server_choice.h"

namespace updater {

ServerSelectPage::ServerSelectPage(platform::Registry& registry)
    : Dialog(IDD_SERVER_SELECT_PAGE), registry_(registry) {}

bool ServerSelectPage::OnInitDialog() {
  const ServerChoice choice = ChooseServer(registry_);
  HWND list = Control(IDC_SERVER_LIST);
  for (const std::string& server : choice.servers) {
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(server.c_str()));
  }
  SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(choice.selection), 0);
  CommitListSelection();
  return true;
}

bool ServerSelectPage::OnCommand(int id, int notifyCode) {
  switch (id) {
    case IDC_WIZARD_NEXT:
      CommitListSelection();
      return true;
    case IDC_WIZARD_CANCEL:
      EndDialog(kCancel);
      return true;
    case IDC_WIZARD_HELP:
      return true;
    default:
      return Dialog::OnCommand(id, notifyCode);
  }
}

void ServerSelectPage::CommitListSelection() {
  const LRESULT selection = SendMessageA(Control(IDC_SERVER_LIST), LB_GETCURSEL, 0, 0);
  CommitSelection(registry_, selection == LB_ERR ? -1 : static_cast<int32_t>(selection));
  EndDialog(kOk);
}

}  // namespace updater
