// The reader close and the install under Wine, against the real API: processes of stand-in
// programs, a program folder of the test's own, the real move, and the confirm dialog driven
// from another process by the UI driver.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "install/install.h"
#include "install/reader_process.h"
#include "platform/file_system.h"
#include "platform/file_tree.h"
#include "platform/processes.h"
#include "support/temp_folder.h"
#include "support/test_program.h"
#include "win32/handles.h"

namespace {

updater::RunLog noLog;

using platform::win32::UniqueHandle;
using platform::win32::UniqueHkey;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

// Emulated builds run several times slower: tools/wine32-run sets TAVREL_WINE_TIME_FACTOR, by
// which tools/uidriver multiplies its waits too.
DWORD TimeFactor() {
  char text[16] = {};
  const DWORD length = ::GetEnvironmentVariableA("TAVREL_WINE_TIME_FACTOR", text, sizeof text);
  const unsigned long factor =
      length > 0 && length < sizeof text ? std::strtoul(text, nullptr, 10) : 1;
  return factor >= 1 && factor <= 100 ? static_cast<DWORD>(factor) : 1;
}

const DWORD kTimeoutMs = 30000 * TimeFactor();
constexpr char kSessionManager[] = "System\\CurrentControlSet\\Control\\Session Manager";
constexpr wchar_t kPendingRenames[] = L"PendingFileRenameOperations";

std::string BinFolder() {
  const std::string module = platform::ProgramFileName();
  return module.substr(0, module.find_last_of('\\') + 1);
}

// Polls for a condition, the way a person waits for something to show; false on timeout.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = kTimeoutMs) {
  const DWORD start = ::GetTickCount();
  while (!condition()) {
    if (::GetTickCount() - start > timeoutMs) return false;
    ::Sleep(10);
  }
  return true;
}

UniqueHandle Start(const std::string& application, const std::string& commandLine) {
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started = {};
  if (!::CreateProcessA(application.empty() ? nullptr : application.c_str(), line.data(), nullptr,
                        nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
    return nullptr;
  }
  ::CloseHandle(started.hThread);
  return UniqueHandle(started.hProcess);
}

// The exit code once the process has ended; STILL_ACTIVE when it did not end in time.
DWORD WaitForExit(const UniqueHandle& process, DWORD timeoutMs = kTimeoutMs) {
  DWORD code = STILL_ACTIVE;
  if (::WaitForSingleObject(process.get(), timeoutMs) == WAIT_OBJECT_0) {
    ::GetExitCodeProcess(process.get(), &code);
  }
  return code;
}

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// The strings of the pending-rename list (source, target, source, target ...).
std::vector<std::wstring> PendingRenames() {
  std::vector<std::wstring> strings;
  HKEY opened = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, &opened) != 0) {
    return strings;
  }
  const UniqueHkey key(opened);
  DWORD size = 0;
  if (::RegQueryValueExW(key.get(), kPendingRenames, nullptr, nullptr, nullptr, &size) != 0) {
    return strings;
  }
  std::vector<wchar_t> data(size / sizeof(wchar_t) + 2, L'\0');
  if (::RegQueryValueExW(key.get(), kPendingRenames, nullptr, nullptr,
                         reinterpret_cast<BYTE*>(data.data()), &size) != 0) {
    return strings;
  }
  for (const wchar_t* at = data.data(); *at != L'\0'; at += wcslen(at) + 1) strings.push_back(at);
  return strings;
}

// Takes the pairs whose source lies below `folder` out of the list again, so that no later
// start of the prefix carries out a test's moves.
void ForgetPendingRenamesBelow(const std::string& folder) {
  const std::wstring prefix = L"\\??\\" + Widen(folder);
  const std::vector<std::wstring> strings = PendingRenames();
  std::wstring kept;
  for (std::size_t i = 0; i + 1 < strings.size(); i += 2) {
    if (strings[i].compare(0, prefix.size(), prefix) == 0) continue;
    kept += strings[i] + L'\0' + strings[i + 1] + L'\0';
  }
  HKEY opened = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &opened) != 0) return;
  const UniqueHkey key(opened);
  if (kept.empty()) {
    ::RegDeleteValueW(key.get(), kPendingRenames);
  } else {
    kept.push_back(L'\0');
    ::RegSetValueExW(key.get(), kPendingRenames, 0, REG_MULTI_SZ,
                     reinterpret_cast<const BYTE*>(kept.data()),
                     static_cast<DWORD>(kept.size() * sizeof(wchar_t)));
  }
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) break;  // a line not yet written whole
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

class Install : public ::testing::Test {
 protected:
  ~Install() override {
    for (UniqueHandle& reader : readers_) {
      ::TerminateProcess(reader.get(), 0);
      WaitForExit(reader);
    }
    ForgetPendingRenamesBelow(temp_.path());
  }

  std::string Make(const std::string& relative) {
    const std::string path = temp_.Child(relative);
    EXPECT_TRUE(testing_support::MakeFolder(path)) << path;
    return path;
  }

  // A copy of the stand-in reader in a folder of its own, started as a running reader that
  // holds `heldFile` open (when given); returns once it runs.
  HANDLE StartReader(const std::string& heldFile = "") {
    const std::string folder = Make("reader" + std::to_string(readers_.size()));
    const std::string exe = folder + "\\Tavrel.exe";
    EXPECT_TRUE(::CopyFileA((BinFolder() + "reader_stub\\Tavrel.exe").c_str(), exe.c_str(), TRUE));
    std::string line = "\"" + exe + "\" --wait";
    if (!heldFile.empty()) line += " \"" + heldFile + "\"";
    readers_.push_back(Start(exe, line));
    EXPECT_NE(readers_.back(), nullptr);
    EXPECT_TRUE(WaitUntil([&] {
      return platform::SystemFileSystem().Exists(folder + "\\launch.rec");
    })) << "the stand-in reader did not start";
    return readers_.back().get();
  }

  // A program folder with an update\ tree: update.ini naming setup.exe (the stand-in
  // installer), updateok.ini, setup.exe and sub\b.dll.
  void MakeUpdate(const std::string& program) {
    Make(program.substr(temp_.path().size() + 1) + "\\update");
    Make(program.substr(temp_.path().size() + 1) + "\\update\\sub");
    WriteFileBytes(program + "\\update\\update.ini",
                   "[main]\r\nversion=1.0.0.2\r\nfilenum=2\r\n[list]\r\nfile1=setup.exe\r\n"
                   "file2=sub\\b.dll\r\n");
    WriteFileBytes(program + "\\update\\updateok.ini",
                   "[1.0.0.2]\r\noknum=2\r\nok1=setup.exe\r\nok2=sub\\b.dll\r\n");
    ASSERT_TRUE(::CopyFileA((BinFolder() + "installer_stub\\setup.exe").c_str(),
                            (program + "\\update\\setup.exe").c_str(), FALSE));
    WriteFileBytes(program + "\\update\\sub\\b.dll", "b 1.0.0.2");
  }

  static bool Exists(const std::string& path) { return platform::SystemFileSystem().Exists(path); }

  testing_support::TempFolder temp_;
  std::vector<UniqueHandle> readers_;
};

TEST_F(Install, MovesTheTreeOverTheProgramFolder) {
  const std::string program = Make("program");
  Make("program\\update");
  Make("program\\update\\sub");
  WriteFileBytes(program + "\\setup.exe", "old");
  WriteFileBytes(program + "\\update\\update.ini", "[list]\r\nfile1=setup.exe\r\n");
  WriteFileBytes(program + "\\update\\updateok.ini", "[1.0]\r\n");
  WriteFileBytes(program + "\\update\\setup.exe", "new");
  WriteFileBytes(program + "\\update\\sub\\b.dll", "b");
  WriteFileBytes(program + "\\update\\sub\\UPDATE.INI", "x");
  const updater::InstallFolders folders{program + "\\", program + "\\update\\"};

  updater::MoveUpdateTree(platform::SystemFileSystem(), platform::SystemFileTree(), folders,
                          folders.updateFolder, noLog);

  EXPECT_EQ(ReadFileBytes(program + "\\setup.exe"), "new");
  EXPECT_EQ(ReadFileBytes(program + "\\sub\\b.dll"), "b");
  EXPECT_FALSE(Exists(program + "\\update"));
  EXPECT_FALSE(Exists(program + "\\update.ini"));
  EXPECT_FALSE(Exists(program + "\\updateok.ini"));
  EXPECT_FALSE(Exists(program + "\\sub\\UPDATE.INI"));
}

TEST_F(Install, TargetHeldOpenByAnotherProcessWaitsForTheRestart) {
  const std::string program = Make("program");
  Make("program\\update");
  WriteFileBytes(program + "\\reader.dll", "old");
  WriteFileBytes(program + "\\update\\reader.dll", "new");
  WriteFileBytes(program + "\\update\\a.txt", "a");
  StartReader(program + "\\reader.dll");
  const updater::InstallFolders folders{program + "\\", program + "\\update\\"};

  updater::MoveUpdateTree(platform::SystemFileSystem(), platform::SystemFileTree(), folders,
                          folders.updateFolder, noLog);

  EXPECT_EQ(ReadFileBytes(program + "\\a.txt"), "a");
  EXPECT_EQ(ReadFileBytes(program + "\\update\\reader.dll"), "new");
  EXPECT_TRUE(Exists(program + "\\update"));
  // Replacing the target at the restart: the target carries the '!' mark.
  const std::vector<std::wstring> renames = PendingRenames();
  const std::wstring source = L"\\??\\" + Widen(program + "\\update\\reader.dll");
  const auto found = std::find(renames.begin(), renames.end(), source);
  ASSERT_NE(found, renames.end()) << "no pending rename of " << program << "\\update\\reader.dll";
  ASSERT_NE(found + 1, renames.end());
  EXPECT_EQ(*(found + 1), L"!\\??\\" + Widen(program + "\\reader.dll"));
}

TEST_F(Install, RunningReaderIsTerminatedWithExitCode1) {
  const HANDLE reader = StartReader();
  EXPECT_TRUE(updater::CloseRunningReader(platform::SystemProcesses(), noLog));
  DWORD code = STILL_ACTIVE;
  ASSERT_EQ(::WaitForSingleObject(reader, kTimeoutMs), WAIT_OBJECT_0);
  ::GetExitCodeProcess(reader, &code);
  EXPECT_EQ(code, 1u);
  EXPECT_FALSE(updater::CloseRunningReader(platform::SystemProcesses(), noLog));
}

TEST_F(Install, OfTwoReadersOnlyOneIsTerminated) {
  const HANDLE first = StartReader();
  const HANDLE second = StartReader();
  EXPECT_TRUE(updater::CloseRunningReader(platform::SystemProcesses(), noLog));
  const HANDLE both[] = {first, second};
  ASSERT_LT(::WaitForMultipleObjects(2, both, FALSE, kTimeoutMs) - WAIT_OBJECT_0, 2u);
  const int running = (::WaitForSingleObject(first, 0) == WAIT_TIMEOUT ? 1 : 0) +
                      (::WaitForSingleObject(second, 0) == WAIT_TIMEOUT ? 1 : 0);
  EXPECT_EQ(running, 1);
}

TEST_F(Install, TerminateRefusesOwnAndUnknownProcesses) {
  platform::Processes& processes = platform::SystemProcesses();
  // An id no process has: OpenProcess fails, and nothing is terminated with a null handle.
  EXPECT_FALSE(processes.Terminate(0xFFFFFFF0u, 1));
  // Ostrel itself is never ended (the test would not get past this line).
  EXPECT_FALSE(processes.Terminate(::GetCurrentProcessId(), 1));
}

TEST_F(Install, InstallerStartsByItsQuotedPathDespiteABlank) {
  // "<temp>\My Reader\setup.exe" unquoted would start "<temp>\My.exe" first.
  const std::string folder = Make("My Reader");
  const std::string installer = folder + "\\setup.exe";
  ASSERT_TRUE(
      ::CopyFileA((BinFolder() + "installer_stub\\setup.exe").c_str(), installer.c_str(), TRUE));
  ASSERT_TRUE(::CopyFileA((BinFolder() + "installer_stub\\setup.exe").c_str(),
                          temp_.Child("My.exe").c_str(), TRUE));

  ASSERT_TRUE(updater::StartInstaller(platform::SystemProcesses(), installer, folder + "\\"));

  std::vector<std::string> lines;
  EXPECT_TRUE(WaitUntil([&] {
    lines = Lines(ReadFileBytes(folder + "\\installer.log"));
    return !lines.empty();
  }));
  EXPECT_EQ(lines, std::vector<std::string>{"\"" + installer + "\"\t" + installer});
  EXPECT_FALSE(Exists(temp_.Child("installer.log")));
}

// An older setup.exe in the program folder, held open without delete sharing, keeps the new
// one's move waiting for the restart: that older program never starts. The new one starts from
// update\ once its check passes, and nothing starts when it does not.
TEST_F(Install, AnOlderInstallerHeldOpenNeverStarts) {
  const struct {
    const char* what;
    bool checkPasses;
  } rows[] = {{"the copy in update\\ is still the update's", true},
              {"the copy in update\\ changed", false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string program = Make(row.checkPasses ? "kept" : "changed");
    MakeUpdate(program);
    const std::string old = program + "\\setup.exe";
    ASSERT_TRUE(
        ::CopyFileA((BinFolder() + "installer_stub\\setup.exe").c_str(), old.c_str(), TRUE));
    const UniqueHandle held = platform::win32::OwnFileHandle(
        ::CreateFileA(old.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);

    const updater::InstallReport report =
        updater::InstallUpdate(testing_support::TestProgram(program)
                                   .Files(platform::SystemFileSystem())
                                   .Tree(platform::SystemFileTree())
                                   .Profiles(platform::SystemIniFiles())
                                   .Processes(platform::SystemProcesses())
                                   .Context(),
                               {}, {}, [&row](const std::string&) { return row.checkPasses; });

    EXPECT_EQ(report.installerStarted, row.checkPasses);
    EXPECT_EQ(report.installerWithheld, !row.checkPasses);
    if (row.checkPasses) {
      EXPECT_EQ(report.installerPath, program + "\\update\\setup.exe");
      EXPECT_TRUE(WaitUntil([&] { return Exists(program + "\\update\\installer.log"); }));
    }
    EXPECT_FALSE(Exists(program + "\\installer.log"));
    EXPECT_TRUE(Exists(program + "\\update\\setup.exe"));
  }
}

// Continue on the confirm dialog, pressed from another process: the reader ends with exit
// code 1, the tree is moved, and the installer runs once, from the program folder.
TEST_F(Install, ContinueOnTheConfirmDialogInstalls) {
  const std::string program = Make("Reader Folder");
  ASSERT_TRUE(::CopyFileA((BinFolder() + "page_host.exe").c_str(),
                          (program + "\\page_host.exe").c_str(), TRUE));
  MakeUpdate(program);
  WriteFileBytes(program + "\\sub-old.txt", "kept");
  const HANDLE reader = StartReader();

  const UniqueHandle driver = Start(
      BinFolder() + "uidriver.exe",
      "uidriver.exe --timeout 20000 start \"" + program +
          "\\page_host.exe confirm\" window Ostrel expect-enabled 1 click 1 gone expect-exit 1");
  ASSERT_NE(driver, nullptr);
  EXPECT_EQ(WaitForExit(driver), 0u) << "the UI driver failed; its message is on stderr";

  ASSERT_EQ(::WaitForSingleObject(reader, kTimeoutMs), WAIT_OBJECT_0);
  DWORD code = 0;
  ::GetExitCodeProcess(reader, &code);
  EXPECT_EQ(code, 1u);
  std::vector<std::string> lines;
  EXPECT_TRUE(WaitUntil([&] {
    lines = Lines(ReadFileBytes(program + "\\installer.log"));
    return !lines.empty();
  }));
  const std::string installer = program + "\\setup.exe";
  EXPECT_EQ(lines, std::vector<std::string>{"\"" + installer + "\"\t" + installer});
  EXPECT_EQ(ReadFileBytes(program + "\\sub\\b.dll"), "b 1.0.0.2");
  EXPECT_EQ(ReadFileBytes(program + "\\sub-old.txt"), "kept");
  // update\ keeps only the log, which tells how the install went.
  EXPECT_NE(ReadFileBytes(program + "\\update\\ostrel.log").find("install: started"),
            std::string::npos);
  EXPECT_FALSE(Exists(program + "\\update\\setup.exe"));
  EXPECT_FALSE(Exists(program + "\\update\\sub"));
  EXPECT_FALSE(Exists(program + "\\update.ini"));
}

// Cancel leaves the reader running and the downloaded files in update\.
TEST_F(Install, CancelOnTheConfirmDialogInstallsNothing) {
  const std::string program = Make("program");
  ASSERT_TRUE(::CopyFileA((BinFolder() + "page_host.exe").c_str(),
                          (program + "\\page_host.exe").c_str(), TRUE));
  MakeUpdate(program);
  const HANDLE reader = StartReader();

  const UniqueHandle driver =
      Start(BinFolder() + "uidriver.exe",
            "uidriver.exe --timeout 20000 start \"" + program +
                "\\page_host.exe confirm\" window Ostrel click 2 gone expect-exit 2");
  ASSERT_NE(driver, nullptr);
  EXPECT_EQ(WaitForExit(driver), 0u) << "the UI driver failed; its message is on stderr";

  EXPECT_EQ(::WaitForSingleObject(reader, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_TRUE(Exists(program + "\\update\\update.ini"));
  EXPECT_TRUE(Exists(program + "\\update\\updateok.ini"));
  EXPECT_TRUE(Exists(program + "\\update\\setup.exe"));
  EXPECT_TRUE(Exists(program + "\\update\\sub\\b.dll"));
  EXPECT_FALSE(Exists(program + "\\setup.exe"));
  EXPECT_FALSE(Exists(program + "\\installer.log"));
}

}  // namespace
