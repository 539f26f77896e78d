// A small modal dialog framework over DialogBoxParamA: one object per modal run, with virtual
// handlers for initialisation, commands, timers and system commands, and control access by id.
// Every dialog appears centred: over its owner, or on the screen when it has none.
#pragma once

#include <windows.h>

#include <string>

namespace updater {

class Dialog {
 public:
  // Results of a modal run; -1 when the dialog could not be created (for example its template
  // is missing).
  static constexpr INT_PTR kOk = IDOK;
  static constexpr INT_PTR kCancel = IDCANCEL;
  static constexpr INT_PTR kFailed = -1;

  explicit Dialog(int templateId);
  virtual ~Dialog();
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  // Runs the dialog modally from this module's resources; no parent when `owner` is null.
  INT_PTR RunModal(HWND owner = nullptr);

  HWND Window() const { return window_; }

 protected:
  // After the controls exist. True lets the dialog manager set the focus.
  virtual bool OnInitDialog();
  // WM_COMMAND. The default ends the run with kOk on IDOK (Enter) and kCancel on IDCANCEL
  // (Esc, the close box). True when handled.
  virtual bool OnCommand(int id, int notifyCode);
  virtual void OnTimer(UINT_PTR timerId);
  // WM_SYSCOMMAND; false leaves the command to the platform's default handling.
  virtual bool OnSysCommand(WPARAM command, LPARAM position);
  // Any other message (the page's own WM_APP messages); true when handled, with `result`.
  virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);

  void EndDialog(INT_PTR result);
  HWND Control(int id) const;
  void SetControlText(int id, const char* text);
  void EnableControl(int id, bool enabled);

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  bool Dispatch(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);

  int templateId_;
  HWND window_ = nullptr;
};

}  // namespace updater
