// The wizard's last page (dialog 227): says whether the update files were fetched or the
// reader is up to date.
#pragma once

#include <cstdint>

#include "ui/dialog.h"

namespace ostrel {

class FinishPage : public Dialog {
 public:
  FinishPage();

  // 1 when files of an update were fetched, 0 when the reader is already up to date.
  int32_t updateNeeded = 1;

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int notifyCode) override;
};

}  // namespace ostrel
