// The About box (IDD_ABOUTBOX): icon, version line, one more line and OK.
#pragma once

#include "res/resource.h"
#include "ui/dialog.h"

namespace updater {

class AboutDialog : public Dialog {
 public:
  AboutDialog() : Dialog(IDD_ABOUTBOX) {}
};

}  // namespace updater
