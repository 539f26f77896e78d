#include "install/reader_process.h"

namespace ostrel {

bool CloseRunningReader(platform::Processes& processes) {
  bool terminated = false;
  processes.ForEachProcess([&](const platform::ProcessEntry& entry) {
    if (entry.exeFile != kReaderExeName) return true;
    terminated = processes.Terminate(entry.processId, kReaderExitCode);
    return false;
  });
  return terminated;
}

}  // namespace ostrel
