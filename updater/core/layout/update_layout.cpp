#include "layout/update_layout.h"

#include "layout/paths.h"

namespace updater {

namespace {
// The one spelling of the update folder's name.
constexpr char kUpdateFolderName[] = "update";
}  // namespace

std::string UpdateLayout::UpdateFolderToCreate() const {
  return updateFolder.substr(0, updateFolder.size() - 1);
}

UpdateLayout LayoutBelow(std::string programFolder) {
  AppendBackslash(programFolder);
  UpdateLayout layout;
  layout.updateFolder = programFolder + kUpdateFolderName + "\\";
  layout.files = {layout.updateFolder + "update.ini", layout.updateFolder + "updateok.ini"};
  layout.signedMark = programFolder + kSignedMarkName;
  layout.programFolder = std::move(programFolder);
  return layout;
}

std::optional<UpdateLayout> LayoutOfProgram(const std::string& programFile) {
  const std::optional<std::string> folder = ProgramFolder(programFile);
  if (!folder) return std::nullopt;
  return LayoutBelow(*folder);
}

}  // namespace updater
