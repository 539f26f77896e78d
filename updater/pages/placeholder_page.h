// Stands in for a wizard page whose behaviour is not built yet: shows the page's own template
// with a plain note saying so, and lets the user go on (Next) or end the wizard (Cancel).
#pragma once

#include <cstdint>

#include "app/wizard.h"
#include "ui/dialog.h"

namespace ostrel {

class PlaceholderPage : public Dialog {
 public:
  PlaceholderPage(int templateId, const char* pageName);

  // Succeeded after Next, Cancelled after the page's cancel button; Pending otherwise.
  int32_t outcome = Pending;

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int notifyCode) override;

 private:
  int templateId_;
  const char* pageName_;
};

}  // namespace ostrel
