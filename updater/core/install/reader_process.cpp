#include "install/reader_process.h"

#include <string>

namespace updater {

bool CloseRunningReader(platform::Processes& processes, RunLog& log) {
  bool found = false;
  bool terminated = false;
  processes.ForEachProcess([&](const platform::ProcessEntry& entry) {
    if (entry.exeFile != kReaderExeName) return true;
    found = true;
    terminated = processes.Terminate(entry.processId, kReaderExitCode);
    const std::string process = std::to_string(entry.processId);
    log.Write(terminated ? "install: reader (process " + process + ") terminated"
                         : "install: reader (process " + process + ") not terminated, error " +
                               std::to_string(processes.LastError()));
    return false;
  });
  if (!found) log.Write("install: no running reader");
  return terminated;
}

}  // namespace updater
