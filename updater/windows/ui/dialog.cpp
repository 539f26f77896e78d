#include "ui/dialog.h"

#include <optional>

#include "platform/catch_all.h"

namespace updater {

Dialog::Dialog(int templateId) : templateId_(templateId) {}

Dialog::~Dialog() = default;

INT_PTR Dialog::RunModal(HWND owner) {
  return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId_), owner,
                         &Dialog::DialogProc, reinterpret_cast<LPARAM>(this));
}

bool Dialog::OnInitDialog() { return true; }

bool Dialog::OnCommand(int id, int /*notifyCode*/) {
  if (id == IDOK) {
    EndDialog(kOk);
    return true;
  }
  if (id == IDCANCEL) {
    EndDialog(kCancel);
    return true;
  }
  return false;
}

void Dialog::OnTimer(UINT_PTR /*timerId*/) {}

bool Dialog::OnSysCommand(WPARAM /*command*/, LPARAM /*position*/) { return false; }

bool Dialog::OnMessage(UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/,
                       INT_PTR& /*result*/) {
  return false;
}

void Dialog::EndDialog(INT_PTR result) { ::EndDialog(window_, result); }

HWND Dialog::Control(int id) const { return GetDlgItem(window_, id); }

void Dialog::SetControlText(int id, const char* text) { SetDlgItemTextA(window_, id, text); }

void Dialog::EnableControl(int id, bool enabled) { EnableWindow(Control(id), enabled); }

namespace {

// Over the owner when the dialog has one (the About box over the confirm dialog), otherwise in
// the middle of the screen: the wizard's pages have no parent.
void CentreWindow(HWND window) {
  RECT area = {};
  GetWindowRect(window, &area);
  RECT reference = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  HWND owner = GetWindow(window, GW_OWNER);
  if (owner != nullptr && IsWindowVisible(owner)) GetWindowRect(owner, &reference);
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  SetWindowPos(window, nullptr, reference.left + (reference.right - reference.left - width) / 2,
               reference.top + (reference.bottom - reference.top - height) / 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

bool Dialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
  switch (message) {
    case WM_INITDIALOG:
      CentreWindow(window_);
      result = OnInitDialog() ? TRUE : FALSE;
      return true;
    case WM_COMMAND:
      return OnCommand(LOWORD(wParam), HIWORD(wParam));
    case WM_TIMER:
      OnTimer(static_cast<UINT_PTR>(wParam));
      return true;
    case WM_SYSCOMMAND:
      return OnSysCommand(wParam, lParam);
    default:
      return OnMessage(message, wParam, lParam, result);
  }
}

INT_PTR CALLBACK Dialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Dialog* self = nullptr;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<Dialog*>(lParam);
    self->window_ = window;
    SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<Dialog*>(GetWindowLongPtrA(window, DWLP_USER));
  }
  if (self == nullptr) return FALSE;
  if (message == WM_NCDESTROY) {
    self->window_ = nullptr;
    return FALSE;
  }
  // Nothing may unwind through the dialog manager: a handler that throws ends the run with the
  // result of a dialog that could not be shown.
  const std::optional<INT_PTR> answer =
      platform::CatchAll(std::optional<INT_PTR>(), [&]() -> std::optional<INT_PTR> {
        INT_PTR result = TRUE;
        return self->Dispatch(message, wParam, lParam, result) ? result : FALSE;
      });
  if (answer) return *answer;
  ::EndDialog(window, kFailed);
  return TRUE;
}

}  // namespace updater
