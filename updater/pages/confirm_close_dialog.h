// Asks the user to let Ostrel close the reader before the update is installed (dialog 102).
// Its system menu carries the About entry.
#pragma once

#include "ui/dialog.h"

namespace ostrel {

class ConfirmCloseDialog : public Dialog {
 public:
  ConfirmCloseDialog();

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int notifyCode) override;
  bool OnSysCommand(WPARAM command, LPARAM position) override;
};

}  // namespace ostrel
