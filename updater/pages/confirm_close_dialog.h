// Asks the user to let Ostrel close the reader before the update is installed (dialog 102).
// Continue closes the reader and installs the update, then the dialog closes with OK; Cancel
// leaves everything as it is. Its system menu carries the About entry.
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
  void InstallUpdate();

  InstallPlatform platform_;
};

}  // namespace ostrel
