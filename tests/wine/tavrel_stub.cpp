// A stand-in for the reader Tavrel.exe, for tests only: records the raw command line and the
// arguments CommandLineToArgvW splits it into in "launch.rec" beside itself, then exits.
// The record is UTF-16LE: the command line, then each argument, each followed by a zero unit.
// It is written under another name and renamed, so a reader of the record never sees half.
// Each start also appends its raw command line and a line feed to "launch.log", so a test can
// count the starts.
//
// Started as "Tavrel.exe --wait [FILE]" it plays a running reader instead: it opens FILE (if
// given) without sharing, as a reader holds its own files, writes the record, and then runs
// until it is terminated.
#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include <fstream>
#include <memory>
#include <string>

#include "win32/handles.h"

namespace {

std::wstring ModuleFolder() {
  wchar_t name[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, name, MAX_PATH);
  std::wstring path(name, length);
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

struct LocalFreer {
  void operator()(LPWSTR* block) const { ::LocalFree(block); }
};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  try {
    const wchar_t* line = ::GetCommandLineW();
    std::wstring record = line;
    record.push_back(L'\0');
    int count = 0;
    const std::unique_ptr<LPWSTR, LocalFreer> argv(::CommandLineToArgvW(line, &count));
    for (int i = 0; argv && i < count; ++i) {
      record += argv.get()[i];
      record.push_back(L'\0');
    }
    const std::wstring folder = ModuleFolder();
    const std::wstring partial = folder + L"launch.tmp";
    {
      std::ofstream out(partial.c_str(), std::ios::binary | std::ios::trunc);
      out.write(reinterpret_cast<const char*>(record.data()),
                static_cast<std::streamsize>(record.size() * sizeof(wchar_t)));
      if (!out) return 2;
    }
    const bool waits = argv && count >= 2 && std::wstring(argv.get()[1]) == L"--wait";
    platform::win32::UniqueHandle held;
    if (waits && count >= 3) {
      held = platform::win32::OwnFileHandle(::CreateFileW(
          argv.get()[2], GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!held) return 4;
    }
    if (!::MoveFileExW(partial.c_str(), (folder + L"launch.rec").c_str(),
                       MOVEFILE_REPLACE_EXISTING)) {
      return 3;
    }
    // One write to a file opened for appending only: starts that meet never mix their lines.
    const platform::win32::UniqueHandle log = platform::win32::OwnFileHandle(
        ::CreateFileW((folder + L"launch.log").c_str(), FILE_APPEND_DATA,
                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0, nullptr));
    const std::wstring entry = std::wstring(line) + L"\n";
    DWORD written = 0;
    if (!log ||
        !::WriteFile(log.get(), entry.data(), static_cast<DWORD>(entry.size() * sizeof(wchar_t)),
                     &written, nullptr)) {
      return 5;
    }
    if (waits) ::Sleep(INFINITE);
    return 0;
  } catch (...) {
    return 1;
  }
}
