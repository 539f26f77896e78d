// The running processes: walking them, terminating one, starting a program; the running
// program's own file name.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace platform {

// One entry of the process list: the process id and its executable's file name as the
// platform reports it.
struct ProcessEntry {
  uint32_t processId;
  std::string exeFile;
};

class Processes {
 public:
  virtual ~Processes() = default;
  // Calls `visit` for each running process in the platform's order until it returns false.
  // Nothing is visited when the list cannot be taken.
  virtual void ForEachProcess(const std::function<bool(const ProcessEntry&)>& visit) = 0;
  // Ends the process at once with `exitCode`, without waiting for it to be gone. False when it
  // could not be opened or ended; the calling process itself is never ended.
  virtual bool Terminate(uint32_t processId, uint32_t exitCode) = 0;
  // Starts `application` with `commandLine` as its whole command line in `currentFolder`, its
  // window shown normally and none of this process's handles inherited, and returns without
  // waiting. True when the process was created.
  virtual bool Start(const std::string& application, const std::string& commandLine,
                     const std::string& currentFolder) = 0;
  // The platform's code for why the calling thread's last call failed (Win32 error codes on
  // Windows); read it right after the call that failed. 0 when the platform does not say.
  virtual uint32_t LastError() { return 0; }
};

// The running program's full file name (GBK bytes, backslash separators); empty when the
// platform cannot tell.
std::string ProgramFileName();

#ifdef _WIN32
// The running system's processes (Windows builds only).
Processes& SystemProcesses();
#endif

}  // namespace platform
