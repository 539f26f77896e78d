// The wizard's last page (IDD_FINISH_PAGE): says whether the update files were fetched or the
// reader is up to date.
#pragma once

#include <optional>
#include <string>

#include "platform/file_system.h"
#include "ui/dialog.h"

namespace ostrel {

class FinishPage : public Dialog {
 public:
  // `updateNeeded`: files of an update were fetched (otherwise the reader is up to date). The
  // stored manifest is read below `programFolder` to tell whether it was signed.
  FinishPage(bool updateNeeded, platform::FileSystem& files,
             std::optional<std::string> programFolder);

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int notifyCode) override;

 private:
  bool updateNeeded_;
  platform::FileSystem& files_;
  std::optional<std::string> programFolder_;
};

}  // namespace ostrel
