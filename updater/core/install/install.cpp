#include "install/install.h"

#include "install/reader_process.h"
#include "layout/paths.h"
#include "manifest/manifest.h"
#include "manifest/manifest_entry.h"

namespace updater {

namespace {

std::string WithError(const std::string& text, uint32_t error) {
  return text + ", error " + std::to_string(error);
}

void MoveFile(platform::FileTree& tree, const std::string& from, const std::string& to,
              RunLog& log) {
  if (tree.MoveReplacing(from, to)) {
    log.Write("install: moved " + from + " to " + to);
    return;
  }
  const std::string notNow = WithError("install: " + from + " not moved now", tree.LastError());
  log.Write(tree.MoveAtRestart(from, to)
                ? notNow + "; it replaces " + to + " at the next restart"
                : WithError(notNow + "; not scheduled for the restart either", tree.LastError()));
}

void RemoveFile(platform::FileTree& tree, const std::string& path, RunLog& log) {
  log.Write(tree.RemoveFile(path)
                ? "install: deleted " + path
                : WithError("install: " + path + " not deleted", tree.LastError()));
}

}  // namespace

void MoveUpdateTree(platform::FileSystem& files, platform::FileTree& tree,
                    const InstallFolders& folders, const std::string& folder, RunLog& log) {
  // Every path below is cut at the update folder's length to find its place in the program
  // folder; a folder outside the update tree has no such place.
  if (folder.compare(0, folders.updateFolder.size(), folders.updateFolder) != 0) return;
  std::string base = folder;
  AppendBackslash(base);
  const bool topLevel = base == folders.updateFolder;
  for (const platform::FolderEntry& entry : tree.ListFolder(base)) {
    const std::string path = base + entry.name;
    const std::string relative = path.substr(folders.updateFolder.size());
    const std::string target = folders.programFolder + relative;
    if (entry.isFolder) {
      if (entry.name == "." || entry.name == "..") continue;
      if (folders.installs && !folders.installs(relative, true)) {
        log.Write("install: folder " + path + " kept, no file of the signed manifest is in it");
        continue;
      }
      if (!FileExists(files, target) &&
          files.CreateFolder(target) == platform::CreateFolderResult::kFailed) {
        log.Write(WithError("install: folder " + target + " not created", files.LastError()));
      }
      MoveUpdateTree(files, tree, folders, path + "\\", log);
    } else if (topLevel && IsLogFileName(entry.name)) {
      continue;  // the log outlives the install: it tells how the install went
    } else if (IsManifestFileName(entry.name) || platform::IsPartialFileName(entry.name)) {
      RemoveFile(tree, path, log);
    } else if (folders.installs && !folders.installs(relative, false)) {
      log.Write("install: " + path + " kept, not a file of the signed manifest");
    } else {
      MoveFile(tree, path, target, log);
    }
  }
  if (!tree.RemoveEmptyFolder(folder) && !topLevel) {
    log.Write(WithError("install: folder " + folder + " kept", tree.LastError()));
  }
}

void RemoveLeftoverPartials(platform::FileTree& tree, const std::string& updateFolder, RunLog& log,
                            const std::function<bool(const std::string&)>& continued,
                            const std::string& below) {
  for (const platform::FolderEntry& entry : tree.ListFolder(updateFolder + below)) {
    if (entry.isFolder) {
      if (entry.name != "." && entry.name != "..") {
        RemoveLeftoverPartials(tree, updateFolder, log, continued, below + entry.name + "\\");
      }
    } else if (platform::IsPartialFileName(entry.name) &&
               !(continued && continued(below + entry.name))) {
      const std::string path = updateFolder + below + entry.name;
      log.Write(tree.RemoveFile(path)
                    ? "removed leftover " + path
                    : WithError("leftover " + path + " not removed", tree.LastError()));
    }
  }
}

bool StartInstaller(platform::Processes& processes, const std::string& installerPath,
                    const std::string& programFolder) {
  if (installerPath.empty() || installerPath.size() > kMaxInstallerPathLength) return false;
  return processes.Start(installerPath, "\"" + installerPath + "\"", programFolder);
}

InstallReport InstallUpdate(const ProgramContext& program,
                            const std::function<void()>& showInstalling,
                            const InstallFilter& installs, const InstallerCheck& checkInstaller) {
  InstallReport report;
  RunLog& log = program.log;
  report.readerTerminated = CloseRunningReader(program.processes, log);
  if (showInstalling) showInstalling();
  const std::string& programFolder = program.layout.programFolder;
  const InstallFolders folders{programFolder, program.layout.updateFolder, installs};

  const std::string installer = ReadInstallerEntry(program.profiles, program.layout.files.manifest);
  const std::string source = folders.updateFolder + installer;
  const bool broughtInstaller = !installer.empty() && FileExists(program.files, source);
  if (installer.empty()) {
    log.Write("install: no installer to start (list/file1 missing, refused or too long)");
  } else if (!broughtInstaller) {
    log.Write("install: the update brought no " + installer + "; nothing is started");
  }
  MoveUpdateTree(program.files, program.tree, folders, folders.updateFolder, log);
  if (!broughtInstaller) return report;

  // Whatever sits in the program folder under the installer's name may be an older one: only
  // the file this update brought starts, from where it is now.
  report.installerPath = programFolder + installer;
  if (FileExists(program.files, source)) {
    if (checkInstaller && !checkInstaller(source)) {
      report.installerWithheld = true;
      log.Write("install: " + source + " not started, it is no longer the update's installer");
      return report;
    }
    log.Write("install: the installer's move waits for the restart; " + source +
              " starts in its place");
    report.installerPath = source;
  }
  report.installerStarted = StartInstaller(program.processes, report.installerPath, programFolder);
  if (report.installerStarted) {
    log.Write("install: started " + report.installerPath);
  } else if (report.installerPath.size() > kMaxInstallerPathLength) {
    log.Write("install: " + report.installerPath + " not started, longer than 255 bytes");
  } else {
    log.Write(WithError("install: " + report.installerPath + " not started",
                        program.processes.LastError()));
  }
  return report;
}

}  // namespace updater
