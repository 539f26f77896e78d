// PellwickLink.exe, the reader's link handler: Windows starts it with a tavrel-read: link as
// its one argument (see link_registration.h). It opens the book only for a ticket a built-in
// launch key signed (link_handler.h); anything else starts nothing, shows one short message
// and leaves a line in %TEMP%\PellwickLink.log. "/register" and "/unregister" write and remove
// the scheme's entries.
#include <windows.h>
//
#include <shellapi.h>

#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "handles.h"
#include "link/link_handler.h"
#include "link/link_registration.h"
#include "link/used_tickets.h"
#include "link_resources.h"
#include "platform/catch_all.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/text.h"
#include "program_resource.h"
#include "user_texts.h"

namespace {

using launcher::com::kSFalse;

// Past this size the log becomes PellwickLink.log.1 (one older file kept).
constexpr uint64_t kMaxLogSize = 64 * 1024;
// How long a handler waits for another one to finish its checks.
constexpr DWORD kTicketLockMilliseconds = 10000;

std::string ModulePath() {
  char path[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::string(path, length) : std::string();
}

std::vector<std::string> LaunchKeys() {
  std::vector<std::string> keys;
  for (const int id : {launcher::kLaunchKeyResource, launcher::kLaunchKeyNextResource}) {
    const std::optional<std::string> info = platform::win32::ProgramResource(id);
    // A resource that is no P-256 key still takes a key's place and matches nothing.
    if (info) keys.push_back(platform::P256PointFromPublicKeyInfo(*info).value_or(""));
  }
  return keys;
}

void Log(const std::string& line) {
  char folder[MAX_PATH] = {};
  const DWORD length = ::GetTempPathA(MAX_PATH, folder);
  if (length == 0 || length >= MAX_PATH) return;
  const std::string path = std::string(folder, length) + "PellwickLink.log";
  platform::FileSystem& files = platform::SystemFileSystem();
  if (files.FileSize(path).value_or(0) > kMaxLogSize) files.RenameReplacing(path, path + ".1");
  SYSTEMTIME now = {};
  ::GetLocalTime(&now);
  char stamp[32] = {};
  std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u ", now.wYear, now.wMonth,
                now.wDay, now.wHour, now.wMinute, now.wSecond);
  files.AppendToFile(path, stamp + line + "\r\n");
}

void WarnInvalidLink(int64_t now) {
  if (!launcher::TakeWarningTurn(platform::CurrentUserRegistry(), now)) return;
  platform::SystemMessageBoxes().Show(texts::kInvalidLink, texts::kNoticeCaption,
                                      platform::kMbOk | platform::kMbIconWarning);
}

// The link as the shell passed it: ASCII only, since a ticket's link is base64url.
std::optional<std::string> AsciiArgument(const wchar_t* argument) {
  std::string text;
  for (; *argument != 0; ++argument) {
    if (*argument > 0x7E || *argument < 0x20) return std::nullopt;
    text += static_cast<char>(*argument);
  }
  return text;
}

int HandleLink(const wchar_t* argument) {
  const int64_t now = static_cast<int64_t>(std::time(nullptr));
  const std::optional<std::string> link = AsciiArgument(argument);
  if (!link) {
    Log("refused: the link holds characters other than printable ASCII");
    WarnInvalidLink(now);
    return 1;
  }
  const launcher::AllowList sites = launcher::ReadAllowList(platform::LocalMachineRegistry());
  launcher::LinkDecision decision;
  {
    // Two starts of one link at once must not both find its number unused.
    const platform::win32::UniqueHandle lock(
        ::CreateMutexA(nullptr, FALSE, "Local\\TavrelLinkHandlerTickets"));
    const DWORD waited =
        lock ? ::WaitForSingleObject(lock.get(), kTicketLockMilliseconds) : WAIT_FAILED;
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
      decision.why = "refused: another link is still being checked";
    } else {
      decision = launcher::AcceptLaunchLink(*link, {platform::SystemCrypto(), LaunchKeys(), now,
                                                    sites, platform::CurrentUserRegistry()});
      ::ReleaseMutex(lock.get());
    }
  }
  Log(decision.why);
  if (!decision.ticket) {
    WarnInvalidLink(now);
    return 1;
  }
  launcher::ReadInfoMethods methods({platform::CurrentUserRegistry(), platform::SystemFileSystem(),
                                     platform::SystemShell(), platform::SystemMessageBoxes()});
  if (launcher::OpenTicketedBook(*decision.ticket, methods) == kSFalse) {
    Log("refused: a value of the ticket breaks the reader's command-line rules");
    WarnInvalidLink(now);
    return 1;
  }
  return 0;
}

int Run() {
  int count = 0;
  const std::unique_ptr<LPWSTR, decltype(&::LocalFree)> arguments(
      ::CommandLineToArgvW(::GetCommandLineW(), &count), &::LocalFree);
  if (!arguments || count != 2) {
    Log("refused: the handler takes exactly one argument, the link (" + std::to_string(count - 1) +
        " given)");
    WarnInvalidLink(static_cast<int64_t>(std::time(nullptr)));
    return 2;
  }
  const std::wstring argument = arguments.get()[1];
  if (argument == L"/register" || argument == L"/unregister") {
    const std::string path = ModulePath();
    if (path.empty()) return 1;
    const bool registering = argument == L"/register";
    const launcher::com::HResult result =
        registering ? launcher::RegisterLinkHandler(path, platform::ClassesRootRegistry())
                    : launcher::UnregisterLinkHandler(platform::ClassesRootRegistry());
    char line[64] = {};
    std::snprintf(line, sizeof line, "%s: result 0x%08lX", registering ? "register" : "unregister",
                  static_cast<unsigned long>(static_cast<uint32_t>(result)));
    Log(line);
    return result == launcher::com::kSOk ? 0 : 1;
  }
  return HandleLink(argument.c_str());
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  return platform::CatchAll(3, [] { return Run(); });
}
