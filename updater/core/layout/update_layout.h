// Where Ostrel keeps what it fetches and records, all below the program folder. Resolved once
// at start from the running program's file name; every path of the update is taken from here.
#pragma once

#include <optional>
#include <string>

#include "platform/processes.h"

namespace updater {

// Full paths of the two INI files.
struct UpdateFiles {
  std::string manifest;  // update\update.ini
  std::string record;    // update\updateok.ini
};

// Every folder with its trailing backslash. A file in store is written under its temporary
// name platform::PartialFileName(path) first; the log (RunLog) is ostrel.log and ostrel.log.1
// in the update folder.
struct UpdateLayout {
  std::string programFolder;  // the target of the install
  std::string updateFolder;   // programFolder + "update\": the fetched files, the log
  UpdateFiles files;
  std::string signedMark;  // programFolder + kSignedMarkName (trust/signed_mark.h)

  // The update folder as CreateFolder takes it, without its trailing backslash.
  std::string UpdateFolderToCreate() const;
};

// The layout below a known program folder, given with or without its trailing backslash.
UpdateLayout LayoutBelow(std::string programFolder);

// The layout of the program file `programFile` (the running program's unless given); nullopt
// when its folder is unknown (see ProgramFolder): then the run must not start, as every path
// below an empty folder would name the root of the current drive.
std::optional<UpdateLayout> LayoutOfProgram(
    const std::string& programFile = platform::ProgramFileName());

}  // namespace updater
