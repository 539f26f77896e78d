#include "pages/confirm_close_dialog.h"

#include <cstdio>
#include <utility>

#include "pages/about_dialog.h"
#include "platform/catch_all.h"
#include "res/resource.h"
#include "user_texts.h"

namespace updater {

namespace {

// Posted by the install's thread: the install begins (the reader is closed), and all is done.
constexpr UINT kInstallingMessage = WM_APP + 3;
constexpr UINT kFinishedMessage = WM_APP + 4;

// The message is the template's first control; it has no id of its own.
HWND MessageControl(HWND dialog) { return GetWindow(dialog, GW_CHILD); }

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

ConfirmCloseDialog::ConfirmCloseDialog(const ProgramContext& program)
    : Dialog(IDD_CONFIRM_CLOSE), program_(program) {}

ConfirmCloseDialog::~ConfirmCloseDialog() {
  // The dialog ended some other way while the check ran: the check stops at its next piece.
  Phase checking = Phase::kChecking;
  phase_.compare_exchange_strong(checking, Phase::kStopping);
  if (installer_.joinable()) installer_.join();
}

bool ConfirmCloseDialog::OnInitDialog() {
  AddAboutEntry(Window());
  SetIcons(Window());
  return true;
}

bool ConfirmCloseDialog::OnCommand(int id, int notifyCode) {
  if (id == IDOK) {
    Phase asking = Phase::kAsking;
    if (!phase_.compare_exchange_strong(asking, Phase::kChecking))
      return true;  // already under way
    EnableControl(IDOK, false);
    installer_ = std::thread([this] { CheckAndInstall(); });
    return true;
  }
  if (id == IDCANCEL) {
    Phase checking = Phase::kChecking;
    if (phase_.compare_exchange_strong(checking, Phase::kStopping)) {
      // The check stops within one piece of a file and only posts to this thread.
      installer_.join();
      EndDialog(kCancel);
      return true;
    }
    if (phase_.load() == Phase::kInstalling) return true;  // no cancel once the install has begun
  }
  return Dialog::OnCommand(id, notifyCode);
}

void ConfirmCloseDialog::CheckAndInstall() {
  HWND window = Window();
  platform::CatchAll([&] {
    // Checked before the reader is closed: a refused update must leave everything as it is.
    check_ = CheckUpdateBeforeInstall(program_.trust, program_.files, program_.tree,
                                      program_.profiles, program_.layout,
                                      [this] { return phase_.load() == Phase::kStopping; });
    Phase checking = Phase::kChecking;
    if (!check_.allowed || !phase_.compare_exchange_strong(checking, Phase::kInstalling)) return;
    report_ = InstallUpdate(
        program_, [window] { PostMessageA(window, kInstallingMessage, 0, 0); }, check_.installs,
        check_.checkInstaller);
  });
  PostMessageA(window, kFinishedMessage, 0, 0);
}

bool ConfirmCloseDialog::OnMessage(UINT message, WPARAM, LPARAM, INT_PTR& result) {
  if (message == kInstallingMessage) {
    SetWindowTextA(MessageControl(Window()), texts::kInstalling);
  } else if (message == kFinishedMessage) {
    if (phase_.load() != Phase::kStopping) Finished();
  } else {
    return false;
  }
  result = TRUE;
  return true;
}

void ConfirmCloseDialog::Finished() {
  if (installer_.joinable()) installer_.join();
  if (phase_.load() != Phase::kInstalling) {
    SetWindowTextA(MessageControl(Window()), texts::kVerificationFailed);
    SetFocus(Control(IDCANCEL));
    phase_ = Phase::kRefused;  // Continue stays disabled; Cancel ends the dialog
    return;
  }
  std::fprintf(stderr, "Ostrel: reader %s; installer %s: \"%s\"\n",
               report_.readerTerminated ? "terminated" : "not running or not terminated",
               report_.installerStarted ? "started" : "not started", report_.installerPath.c_str());
  if (report_.installerWithheld) {
    // The files are in place; the installer is not, and no other may start in its place.
    SetWindowTextA(MessageControl(Window()), texts::kInstallerWithheld);
    SetFocus(Control(IDCANCEL));
    phase_ = Phase::kRefused;
    return;
  }
  EndDialog(kOk);
}

bool ConfirmCloseDialog::OnSysCommand(WPARAM command, LPARAM /*position*/) {
  if ((command & 0xFFF0) != IDM_ABOUTBOX) return false;
  AboutDialog about;
  about.RunModal(Window());
  return true;
}

}  // namespace updater
