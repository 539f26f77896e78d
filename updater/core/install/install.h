// Installing a downloaded update: the reader closed, the update tree moved over the program
// folder, the manifest's first file started as the installer.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "log/run_log.h"
#include "platform/file_system.h"
#include "platform/file_tree.h"
#include "platform/ini_files.h"
#include "platform/processes.h"
#include "program/program_context.h"

namespace updater {

// The installer's full path fits a 256-byte command line buffer.
inline constexpr std::size_t kMaxInstallerPathLength = 255;

// Which entries of the update tree a move takes, by their path below the update folder (for a
// folder: whether it holds any that it takes); when empty, every entry.
using InstallFilter = std::function<bool(const std::string& relative, bool isFolder)>;

// The two folders of a move, each with its trailing backslash.
struct InstallFolders {
  std::string programFolder;    // the target
  std::string updateFolder;     // UpdateLayout::updateFolder, the source
  InstallFilter installs = {};  // entries it does not take stay where they are
};

// Moves the contents of `folder` (a folder of the update tree, given as a full path below
// folders.updateFolder) into the corresponding folder below folders.programFolder, then
// removes `folder` if it is empty by then. Subfolders are created one level at a time and
// walked the same way. update.ini and updateok.ini (any letter case) and leftover temporary
// files (*.partial) are deleted wherever they occur, never moved. The log (ostrel.log and
// ostrel.log.1 directly in the update folder) stays where it is, and with it the update
// folder. Entries that folders.installs does not take stay in the update tree. A file that
// cannot be moved now replaces its target at the next restart of the system; it stays in the
// update tree until then, and so do its folders. Every step is logged with the platform's error
// when it failed.
void MoveUpdateTree(platform::FileSystem& files, platform::FileTree& tree,
                    const InstallFolders& folders, const std::string& folder, RunLog& log);

// Deletes the temporary files (*.partial) an interrupted store left anywhere in the update
// folder (given with its trailing backslash), but those `continued` takes (by their path below
// the update folder: a transfer the next fetch continues); each is logged.
void RemoveLeftoverPartials(platform::FileTree& tree, const std::string& updateFolder, RunLog& log,
                            const std::function<bool(const std::string&)>& continued = {},
                            const std::string& below = {});

// Starts the installer as a new process with its path as the application name and as the
// only, quoted, word of its command line (a blank in the path cannot start another program),
// in the program folder. Does not wait. False, without starting anything, for an empty path or
// one over 255 bytes.
bool StartInstaller(platform::Processes& processes, const std::string& installerPath,
                    const std::string& programFolder);

// Whether the installer left in update\ (its move waits for the restart) is still the file the
// update promised, checked just before it starts; empty: nothing to check it against.
using InstallerCheck = std::function<bool(const std::string& path)>;

struct InstallReport {
  bool readerTerminated = false;
  std::string installerPath;  // the installer started or meant to start; empty: none named
  bool installerStarted = false;
  // The update's installer could not be moved into the program folder and the copy left in
  // update\ failed its check or was gone: nothing was started, and the user must be told.
  bool installerWithheld = false;
};

// The whole install, every failure passed over (and logged): closes the running reader, calls
// `showInstalling`, moves the update tree over the program folder and starts the installer
// this update brought: the moved one in the program folder, or, when its move waits for the
// restart, the copy still in update\ once `checkInstaller` passes it. An installer already
// in the program folder is never started in its place. `installs` limits the move.
InstallReport InstallUpdate(const ProgramContext& program,
                            const std::function<void()>& showInstalling,
                            const InstallFilter& installs = {},
                            const InstallerCheck& checkInstaller = {});

}  // namespace updater
