#include "pages/confirm_close_dialog.h"

#include <cstdio>
#include <utility>

#include "pages/about_dialog.h"
#include "res/resource.h"

namespace ostrel {

namespace {

constexpr char kInstallNotBuilt[] =
    "InstallUpdate is not built yet: nothing was closed or installed. Cancel ends Ostrel.";

void AddAboutEntry(HWND window) {
  HMENU systemMenu = GetSystemMenu(window, FALSE);
  if (systemMenu == nullptr) return;
  char text[128] = {};
  if (LoadStringA(GetModuleHandleA(nullptr), IDS_ABOUTBOX, text, sizeof text) <= 0) return;
  AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(systemMenu, MF_STRING, IDM_ABOUTBOX, text);
}

void SetIcons(HWND window) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  // Shared icons belong to the system's cache; nothing to destroy.
  for (const auto& [which, metric] :
       {std::pair{ICON_BIG, SM_CXICON}, std::pair{ICON_SMALL, SM_CXSMICON}}) {
    const int size = GetSystemMetrics(metric);
    HANDLE icon =
        LoadImageA(instance, MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON, size, size, LR_SHARED);
    SendMessageA(window, WM_SETICON, which, reinterpret_cast<LPARAM>(icon));
  }
}

}  // namespace

ConfirmCloseDialog::ConfirmCloseDialog() : Dialog(IDD_CONFIRM_CLOSE) {}

bool ConfirmCloseDialog::OnInitDialog() {
  AddAboutEntry(Window());
  SetIcons(Window());
  return true;
}

bool ConfirmCloseDialog::OnCommand(int id, int notifyCode) {
  if (id == IDOK) {
    // The reader close and the install are not part of this build: say so on the dialog
    // instead of closing as if the update had been installed.
    std::fprintf(stderr, "Ostrel: %s\n", kInstallNotBuilt);
    // The message is the template's first control; it has no id of its own.
    SetWindowTextA(GetWindow(Window(), GW_CHILD), kInstallNotBuilt);
    EnableControl(IDOK, false);
    SetFocus(Control(IDCANCEL));
    return true;
  }
  return Dialog::OnCommand(id, notifyCode);
}

bool ConfirmCloseDialog::OnSysCommand(WPARAM command, LPARAM /*position*/) {
  if ((command & 0xFFF0) != IDM_ABOUTBOX) return false;
  AboutDialog about;
  about.RunModal(Window());
  return true;
}

}  // namespace ostrel
