// Asks the user to let Ostrel close the reader before the update is installed (IDD_CONFIRM_CLOSE).
// Continue checks the stored update, closes the reader and installs it, then the dialog closes
// with OK; an update that fails its check is not installed: the dialog says so and stays open
// with Continue disabled. Cancel leaves everything as it is. Its system menu carries the About
// entry.
#pragma once

#include "install/install.h"
#include "ui/dialog.h"

namespace ostrel {

class ConfirmCloseDialog : public Dialog {
 public:
  explicit ConfirmCloseDialog(const InstallPlatform& platform);

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int notifyCode) override;
  bool OnSysCommand(WPARAM command, LPARAM position) override;

 private:
  // False when the update failed its check and nothing was done.
  bool InstallUpdate();

  InstallPlatform platform_;
};

}  // namespace ostrel
