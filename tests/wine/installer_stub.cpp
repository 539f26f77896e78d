// A stand-in for an update's installer, for tests only: appends one line to "installer.log"
// beside itself for every start, then exits. The line is the raw command line, a tab, the
// program's own full path, CR LF; it is written with one call to a file opened for appending,
// so starts never mix their lines.
#include <windows.h>

#include <string>

#include "win32/handles.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char module[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameA(nullptr, module, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 2;
  std::string self(module, length);
  const std::string line = std::string(::GetCommandLineA()) + "\t" + self + "\r\n";
  const std::string log = self.substr(0, self.find_last_of('\\') + 1) + "installer.log";
  const platform::win32::UniqueHandle file = platform::win32::OwnFileHandle(
      ::CreateFileA(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return 3;
  DWORD written = 0;
  return ::WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
                 written == line.size()
             ? 0
             : 4;
}
