// Asks the user to let Ostrel close the reader before the update is installed (IDD_CONFIRM_CLOSE).
// Continue checks the stored update, closes the reader and installs it, then the dialog closes
// with OK; an update that fails its check is not installed: the dialog says so and stays open
// with Continue disabled. Cancel leaves everything as it is. Its system menu carries the About
// entry. The check (every file read again) and the install run on a thread of their own, so
// the dialog keeps answering while they take seconds: Continue stays disabled meanwhile, Cancel
// stops the check (the install, once begun, runs to its end).
#pragma once

#include <atomic>
#include <thread>

#include "install/install.h"
#include "trust/file_checks.h"
#include "ui/dialog.h"

namespace updater {

class ConfirmCloseDialog : public Dialog {
 public:
  explicit ConfirmCloseDialog(const ProgramContext& program);
  ~ConfirmCloseDialog() override;

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int notifyCode) override;
  bool OnSysCommand(WPARAM command, LPARAM position) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

 private:
  // kRefused: the update failed its check, or its installer was withheld; only Cancel is left.
  enum class Phase { kAsking, kChecking, kInstalling, kStopping, kRefused };

  // On the install's thread: the check, then, when it passed, the install.
  void CheckAndInstall();
  // On the dialog's thread once that thread is done.
  void Finished();

  const ProgramContext& program_;
  std::atomic<Phase> phase_{Phase::kAsking};
  InstallCheck check_;     // written by the install's thread before it tells the dialog
  InstallReport report_;   // the same
  std::thread installer_;  // last: it starts once everything it uses exists
};

}  // namespace updater
