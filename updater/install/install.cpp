#include "install/install.h"

#include "install/reader_process.h"
#include "manifest/manifest.h"
#include "manifest/manifest_entry.h"
#include "settings/paths.h"

namespace ostrel {

void MoveUpdateTree(platform::FileSystem& files, platform::FileTree& tree,
                    const InstallFolders& folders, const std::string& folder) {
  // Every path below is cut at the update folder's length to find its place in the program
  // folder; a folder outside the update tree has no such place.
  if (folder.compare(0, folders.updateFolder.size(), folders.updateFolder) != 0) return;
  std::string base = folder;
  AppendBackslash(base);
  for (const platform::FolderEntry& entry : tree.ListFolder(base)) {
    const std::string path = base + entry.name;
    const std::string relative = path.substr(folders.updateFolder.size());
    const std::string target = folders.programFolder + relative;
    if (entry.isFolder) {
      if (entry.name == "." || entry.name == "..") continue;
      if (folders.installs && !folders.installs(relative, true)) continue;
      if (!FileExists(files, target)) files.CreateFolder(target);
      MoveUpdateTree(files, tree, folders, path + "\\");
    } else if (IsManifestFileName(entry.name)) {
      tree.RemoveFile(path);
    } else if (folders.installs && !folders.installs(relative, false)) {
      continue;
    } else if (!tree.MoveReplacing(path, target)) {
      tree.MoveAtRestart(path, target);
    }
  }
  tree.RemoveEmptyFolder(folder);
}

std::string ReadInstallerEntry(platform::ProfileStore& profiles, const std::string& manifest) {
  // Read as long as the download reads list entries, to see whether 127 bytes would cut it.
  std::string entry = profiles.ReadString(manifest, "list", "file1", "", kEntryBufferSize);
  if (entry.size() >= kInstallerEntryBufferSize || !IsSafeManifestEntry(entry)) return {};
  return entry;
}

bool StartInstaller(platform::Processes& processes, const std::string& installerPath) {
  if (installerPath.empty() || installerPath.size() > kMaxInstallerPathLength) return false;
  return processes.Start(installerPath, "\"" + installerPath + "\"");
}

InstallReport InstallUpdate(const InstallPlatform& platform,
                            const std::function<void()>& showInstalling,
                            const InstallFilter& installs) {
  InstallReport report;
  report.readerTerminated = CloseRunningReader(platform.processes);
  if (showInstalling) showInstalling();
  std::string programFolder = GetProgramFolder(platform.files);
  if (programFolder.empty()) return report;
  AppendBackslash(programFolder);
  const InstallFolders folders{programFolder, programFolder + kUpdateFolder + "\\", installs};

  const std::string installer =
      ReadInstallerEntry(platform.profiles, programFolder + kManifestRelativePath);
  if (!installer.empty()) {
    report.installerPath = programFolder + installer;
    // When the installer's own move has to wait for a restart, this copy is what starts.
    platform.tree.CopyIfAbsent(folders.updateFolder + installer, report.installerPath);
  }
  MoveUpdateTree(platform.files, platform.tree, folders, folders.updateFolder);
  if (!installer.empty()) {
    report.installerStarted = StartInstaller(platform.processes, report.installerPath);
  }
  return report;
}

}  // namespace ostrel
