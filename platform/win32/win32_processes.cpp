#include <windows.h>
// tlhelp32.h needs windows.h first.
#include <tlhelp32.h>

#include <vector>

#include "handles.h"
#include "platform/processes.h"

namespace platform {
namespace {

using win32::UniqueHandle;

class Win32Processes final : public Processes {
 public:
  void ForEachProcess(const std::function<bool(const ProcessEntry&)>& visit) override {
    const UniqueHandle snapshot =
        win32::OwnFileHandle(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32First(snapshot.get(), &entry); more;
         more = ::Process32Next(snapshot.get(), &entry)) {
      if (!visit({entry.th32ProcessID, entry.szExeFile})) return;
    }
  }

  bool Terminate(uint32_t processId, uint32_t exitCode) override {
    if (processId == ::GetCurrentProcessId()) {
      ::SetLastError(ERROR_ACCESS_DENIED);
      return false;
    }
    // Only the right to terminate: all access rights are refused more often and add nothing.
    // OpenProcess gives null on failure, never the pseudo-handle of this process.
    const UniqueHandle process(::OpenProcess(PROCESS_TERMINATE, FALSE, processId));
    if (process == nullptr) return false;
    return ::TerminateProcess(process.get(), exitCode) != FALSE;
  }

  bool Start(const std::string& application, const std::string& commandLine,
             const std::string& currentFolder) override {
    // CreateProcessA may write into the command line.
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;
    PROCESS_INFORMATION started = {};
    // No inherited handles: the new program gets none of the files or keys this one has open.
    if (!::CreateProcessA(application.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          currentFolder.c_str(), &startup, &started)) {
      return false;
    }
    const UniqueHandle process(started.hProcess);
    const UniqueHandle thread(started.hThread);
    return true;
  }

  uint32_t LastError() override { return ::GetLastError(); }
};

}  // namespace

std::string ProgramFileName() {
  // Room for the longest path Windows has, so the name is never cut.
  std::vector<char> name(32768);
  const DWORD length = ::GetModuleFileNameA(nullptr, name.data(), static_cast<DWORD>(name.size()));
  return length < name.size() ? std::string(name.data(), length) : std::string();
}

Processes& SystemProcesses() {
  static Win32Processes processes;
  return processes;
}

}  // namespace platform
