#include "pages/confirm_close_dialog.h"

#include <cstdio>
#include <utility>

#include "pages/about_dialog.h"
#include "platform/catch_all.h"
#include "res/resource.h"
#include "trust/program_trust.h"

namespace ostrel {

namespace {

// "正在启动安装程序"
constexpr char kInstalling[] = "\xd5\xfd\xd4\xda\xc6\xf4\xb6\xaf\xb0\xb2\xd7\xb0\xb3\xcc\xd0\xf2";
// "更新文件校验失败，没有安装任何文件。请重新运行在线升级。"
constexpr char kVerificationFailed[] =
    "\xb8\xfc\xd0\xc2\xce\xc4\xbc\xfe\xd0\xa3\xd1\xe9\xca\xa7\xb0\xdc\xa3\xac\xc3\xbb\xd3\xd0"
    "\xb0\xb2\xd7\xb0\xc8\xce\xba\xce\xce\xc4\xbc\xfe\xa1\xa3\xc7\xeb\xd6\xd8\xd0\xc2\xd4\xcb"
    "\xd0\xd0\xd4\xda\xcf\xdf\xc9\xfd\xbc\xb6\xa1\xa3";

// "更新文件已安装，但本次更新的安装程序未能启动。请重新启动计算机后再运行在线升级。"
constexpr char kInstallerWithheld[] =
    "\xb8\xfc\xd0\xc2\xce\xc4\xbc\xfe\xd2\xd1\xb0\xb2\xd7\xb0\xa3\xac\xb5\xab\xb1\xbe"
    "\xb4\xce\xb8\xfc\xd0\xc2\xb5\xc4\xb0\xb2\xd7\xb0\xb3\xcc\xd0\xf2\xce\xb4\xc4\xdc"
    "\xc6\xf4\xb6\xaf\xa1\xa3\xc7\xeb\xd6\xd8\xd0\xc2\xc6\xf4\xb6\xaf\xbc\xc6\xcb\xe3"
    "\xbb\xfa\xba\xf3\xd4\xd9\xd4\xcb\xd0\xd0\xd4\xda\xcf\xdf\xc9\xfd\xbc\xb6\xa1\xa3";

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

ConfirmCloseDialog::ConfirmCloseDialog(const InstallPlatform& platform)
    : Dialog(IDD_CONFIRM_CLOSE), platform_(platform) {}

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
    check_ = CheckUpdateBeforeInstall(&ProgramTrust(), platform_.files, platform_.tree,
                                      platform_.profiles, platform_.programFolder,
                                      [this] { return phase_.load() == Phase::kStopping; });
    Phase checking = Phase::kChecking;
    if (!check_.allowed || !phase_.compare_exchange_strong(checking, Phase::kInstalling)) return;
    report_ = ostrel::InstallUpdate(
        platform_, [window] { PostMessageA(window, kInstallingMessage, 0, 0); }, check_.installs,
        check_.checkInstaller);
  });
  PostMessageA(window, kFinishedMessage, 0, 0);
}

bool ConfirmCloseDialog::OnMessage(UINT message, WPARAM, LPARAM, INT_PTR& result) {
  if (message == kInstallingMessage) {
    SetWindowTextA(MessageControl(Window()), kInstalling);
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
    SetWindowTextA(MessageControl(Window()), kVerificationFailed);
    SetFocus(Control(IDCANCEL));
    phase_ = Phase::kRefused;  // Continue stays disabled; Cancel ends the dialog
    return;
  }
  std::fprintf(stderr, "Ostrel: reader %s; installer %s: \"%s\"\n",
               report_.readerTerminated ? "terminated" : "not running or not terminated",
               report_.installerStarted ? "started" : "not started", report_.installerPath.c_str());
  if (report_.installerWithheld) {
    // The files are in place; the installer is not, and no other may start in its place.
    SetWindowTextA(MessageControl(Window()), kInstallerWithheld);
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

}  // namespace ostrel
