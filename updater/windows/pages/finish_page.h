// The wizard's last page (IDD_FINISH_PAGE): says whether the update files were fetched or the
// reader is up to date.
#pragma once

#include "program/program_context.h"
#include "ui/dialog.h"

namespace updater {

class FinishPage : public Dialog {
 public:
  // `updateNeeded`: files of an update were fetched (otherwise the reader is up to date). The
  // stored manifest is judged by the program's trust rules to tell whether it was signed.
  FinishPage(bool updateNeeded, const ProgramContext& program);

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int notifyCode) override;

 private:
  bool updateNeeded_;
  const ProgramContext& program_;
};

}  // namespace updater
