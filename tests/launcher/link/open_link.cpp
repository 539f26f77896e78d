// open_link LINK: opens a link through the shell as a browser does (ShellExecuteExW, verb
// "open", the link as the file), waits for the program the shell started, and exits with that
// program's exit code: 100 when the shell started nothing, 101 when it did not end in 60 s.
#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include "win32/handles.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 102;
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
  info.lpVerb = L"open";
  info.lpFile = argv[1];
  info.nShow = SW_SHOWNORMAL;
  if (!::ShellExecuteExW(&info) || info.hProcess == nullptr) return 100;
  const platform::win32::UniqueHandle process(info.hProcess);
  if (::WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0) return 101;
  DWORD code = 0;
  ::GetExitCodeProcess(process.get(), &code);
  return static_cast<int>(code);
}
