// The first page: lists the update servers, selects the stored choice clamped into the list,
// stores it again and closes itself with OK during its initialisation.
#pragma once

#include "platform/registry.h"
#include "ui/dialog.h"

namespace updater {

class ServerSelectPage : public Dialog {
 public:
  explicit ServerSelectPage(platform::Registry& registry);

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int notifyCode) override;

 private:
  // Stores the list's selection (entry 0 when none) and ends the page with OK.
  void CommitListSelection();

  platform::Registry& registry_;
};

}  // namespace updater
