// uidriver: drives dialogs of another process the way a person would, for UI tests under Wine.
//
// Usage: uidriver [--print] [--timeout MS] STEP...
//        uidriver [--print] [--timeout MS] --steps FILE
// Steps come from the arguments, each of its words one argument, or from FILE (UTF-8), one step
// a line: the words of a step are separated by blanks and its TEXT, CAPTION or COMMAND LINE
// runs to the words that follow it or to the end of the line, blanks included; blank lines and
// lines starting with "#" are skipped (tests/wine/scenarios/ holds such lines). All steps are
// read before the first runs. --print prints them, one a line, their words separated by tabs,
// and runs none.
// Steps run in order; the first that fails prints "uidriver: step N (...): why" on stderr ("line
// N" for a FILE) and the driver exits with 1 (0 when every step passed). Every wait gives up
// after the timeout (default 10000 ms; the step "timeout MS", "--timeout MS" among arguments,
// changes it for later steps). Every timeout is multiplied by TAVREL_WINE_TIME_FACTOR when that
// is set: tools/wine32-run sets it for the emulated 32-bit build, whose programs run several
// times slower.
// Texts are compared as Unicode, so give them as the shell writes them (UTF-8 under Wine).
// An ID or CODE is a number or a name of Ostrel's res/resource.h (IDC_WIZARD_NEXT,
// IDM_ABOUTBOX), or IDOK, IDCANCEL or IDC_STATIC.
//
//   start COMMAND LINE       start a program (a leading "/" in its path means Z:/...). From
//                            then on only windows of that process are looked at; it is
//                            terminated when the driver ends and it still runs.
//   window CAPTION           wait for a visible top-level window with exactly this caption
//                            and make it the current window
//   dialog CAPTION ID        the same, but the window must also have a control with this id
//   expect-text ID TEXT      wait until control ID of the current window reads TEXT
//   expect-caption TEXT      wait until the current window's caption reads TEXT
//   expect-enabled ID        wait until control ID is enabled (expect-disabled: disabled)
//   print-text ID            print the control's text (UTF-8) and a newline on stdout
//   expect-row ID ROW TEXT IMAGE
//                            wait until row ROW (from 0) of list view ID reads TEXT in its
//                            first column and shows image IMAGE of its small image list
//   list                     print every control of the current window: id, class, state, text
//   click ID                 press button ID (BM_CLICK); refuses a hidden or disabled button,
//                            as a person could not press it either
//   command ID               send WM_COMMAND ID, as the Enter (IDOK) and Esc (IDCANCEL) keys do
//   syscommand CODE          send WM_SYSCOMMAND CODE (IDM_ABOUTBOX, or "close" for the close
//                            box, SC_CLOSE)
//   repaint                  have the current window and its controls drawn now (before a
//                            screenshot)
//   expect-alive             the current window still exists (after a click that should do
//                            nothing)
//   expect-centred           the current window stands in the middle of the screen (within a
//                            pixel either way)
//   gone                     wait until the current window no longer exists
//   expect-exit CODE         wait for the started program to end with exit code CODE
//   timeout MS               later waits give up after MS (times the factor above)
//
// click, command and syscommand return once the window has handled the message, or has
// started a modal loop of its own because of it (an About box), or is gone.
//
// Example (the finish page of an up-to-date run, then the program's exit code):
//   uidriver start "page_host.exe finish 0" dialog 在线升级向导 IDC_FINISH_TEXT
//            expect-text IDC_FINISH_TEXT 现在已经是最新版本! click IDC_WIZARD_NEXT gone
//            expect-exit 1
// or the same steps in a FILE:
//   start page_host.exe finish 0
//   dialog 在线升级向导 IDC_FINISH_TEXT
//   expect-text IDC_FINISH_TEXT 现在已经是最新版本!
//   click IDC_WIZARD_NEXT
//   gone
//   expect-exit 1
#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

#include "resource_names.h"
#include "win32/handles.h"

namespace {

using platform::win32::UniqueHandle;

struct Failure {
  std::wstring why;
};

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                      nullptr, nullptr);
  return out;
}

// Console output as raw UTF-8 bytes, whatever the console code page is.
void Write(HANDLE stream, const std::wstring& text) {
  const std::string bytes = Utf8(text);
  DWORD written = 0;
  WriteFile(stream, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::wstring WindowText(HWND window) {
  // WM_GETTEXT with a timeout: a hung target must not hang the driver.
  wchar_t buffer[1024] = {};
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer),
                           SMTO_ABORTIFHUNG, 5000, &copied)) {
    return {};
  }
  return std::wstring(buffer, copied < 1024 ? copied : 1023);
}

std::wstring ClassName(HWND window) {
  wchar_t buffer[256] = {};
  const int length = GetClassNameW(window, buffer, 256);
  return std::wstring(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

// Memory in another process, freed when it goes.
class RemoteBlock {
 public:
  RemoteBlock(HANDLE process, size_t size)
      : process_(process),
        address_(VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE)) {}
  ~RemoteBlock() {
    if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
  }
  RemoteBlock(const RemoteBlock&) = delete;
  RemoteBlock& operator=(const RemoteBlock&) = delete;
  void* get() const { return address_; }

 private:
  HANDLE process_;
  void* address_;
};

struct ListRow {
  std::wstring text;
  int image = -1;
};

// A row of a list view of another process: the item and its text buffer live in that process,
// since the list view writes through the pointers it is given.
bool ReadListRow(HWND list, int row, ListRow& out) {
  struct Block {
    LVITEMW item;
    wchar_t text[260];
  };
  DWORD processId = 0;
  GetWindowThreadProcessId(list, &processId);
  UniqueHandle process(
      OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId));
  if (!process) return false;
  RemoteBlock remote(process.get(), sizeof(Block));
  if (!remote.get()) return false;
  Block block = {};
  block.item.mask = LVIF_TEXT | LVIF_IMAGE;
  block.item.iItem = row;
  block.item.pszText =
      reinterpret_cast<wchar_t*>(static_cast<char*>(remote.get()) + offsetof(Block, text));
  block.item.cchTextMax = 260;
  SIZE_T moved = 0;
  if (!WriteProcessMemory(process.get(), remote.get(), &block, sizeof block, &moved)) return false;
  DWORD_PTR answered = 0;
  if (!SendMessageTimeoutW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote.get()),
                           SMTO_ABORTIFHUNG, 5000, &answered) ||
      !answered) {
    return false;
  }
  if (!ReadProcessMemory(process.get(), remote.get(), &block, sizeof block, &moved)) return false;
  block.text[259] = L'\0';
  out.text = block.text;
  out.image = block.item.iImage;
  return true;
}

long ParseNumber(const std::wstring& text) {
  wchar_t* end = nullptr;
  const long value = std::wcstol(text.c_str(), &end, 0);
  if (text.empty() || *end != L'\0') throw Failure{L"not a number: " + text};
  return value;
}

// A control or command id: a number, or a name of Ostrel's res/resource.h or of the system's
// (IDOK, IDCANCEL, IDC_STATIC).
int ParseId(const std::wstring& text) {
  for (const ResourceName& named : kResourceNames) {
    if (text == named.name) return named.id;
  }
  if (!text.empty() && std::iswalpha(text[0])) throw Failure{L"no id named " + text};
  return static_cast<int>(ParseNumber(text));
}

// A step as read: its verb, its words, and where it came from (for the failure message).
struct Step {
  std::wstring verb;
  std::vector<std::wstring> words;
  std::wstring where;
};

// What each verb takes: words before its text, whether it has a text (which may hold blanks in
// a line), and words after it.
struct Verb {
  const wchar_t* name;
  int before;
  bool text;
  int after;
};

const Verb kVerbs[] = {
    {L"start", 0, true, 0},
    {L"window", 0, true, 0},
    {L"dialog", 0, true, 1},
    {L"expect-text", 1, true, 0},
    {L"expect-caption", 0, true, 0},
    {L"expect-enabled", 1, false, 0},
    {L"expect-disabled", 1, false, 0},
    {L"print-text", 1, false, 0},
    {L"expect-row", 2, true, 1},
    {L"list", 0, false, 0},
    {L"click", 1, false, 0},
    {L"command", 1, false, 0},
    {L"syscommand", 1, false, 0},
    {L"repaint", 0, false, 0},
    {L"expect-alive", 0, false, 0},
    {L"expect-centred", 0, false, 0},
    {L"gone", 0, false, 0},
    {L"expect-exit", 1, false, 0},
    {L"timeout", 1, false, 0},
};

const Verb& VerbNamed(const std::wstring& name) {
  for (const Verb& verb : kVerbs) {
    if (name == verb.name) return verb;
  }
  throw Failure{L"unknown step (see the header of tools/uidriver/uidriver.cpp)"};
}

size_t WordCount(const Verb& verb) {
  return static_cast<size_t>(verb.before) + (verb.text ? 1 : 0) + static_cast<size_t>(verb.after);
}

// Steps given as arguments, one word each; "--timeout MS" is the step timeout.
std::vector<Step> StepsOfArguments(const std::vector<std::wstring>& args) {
  std::vector<Step> steps;
  for (size_t next = 0; next < args.size();) {
    Step step;
    step.where = L"step " + std::to_wstring(steps.size() + 1) + L" (" + args[next] + L")";
    step.verb = args[next] == L"--timeout" ? L"timeout" : args[next];
    ++next;
    try {
      const size_t count = WordCount(VerbNamed(step.verb));
      if (args.size() - next < count) throw Failure{L"missing argument"};
      step.words.assign(args.begin() + static_cast<std::ptrdiff_t>(next),
                        args.begin() + static_cast<std::ptrdiff_t>(next + count));
      next += count;
    } catch (const Failure& failure) {
      throw Failure{step.where + L": " + failure.why};
    }
    steps.push_back(std::move(step));
  }
  return steps;
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// One line's step: words split at blanks; the text is what lies between the words before it and
// the words after it, as written (a text neither starts nor ends with a blank).
Step StepOfLine(std::wstring line) {
  while (!line.empty() && IsBlank(line.back())) line.pop_back();
  size_t at = 0;
  auto nextWord = [&] {
    while (at < line.size() && IsBlank(line[at])) ++at;
    const size_t start = at;
    while (at < line.size() && !IsBlank(line[at])) ++at;
    return line.substr(start, at - start);
  };
  Step step;
  step.verb = nextWord();
  const Verb& verb = VerbNamed(step.verb);
  for (int i = 0; i < verb.before; ++i) step.words.push_back(nextWord());
  while (at < line.size() && IsBlank(line[at])) ++at;
  std::wstring rest = line.substr(at);
  std::vector<std::wstring> after;
  for (int i = 0; i < verb.after; ++i) {
    size_t end = rest.size();
    while (end > 0 && IsBlank(rest[end - 1])) --end;
    size_t start = end;
    while (start > 0 && !IsBlank(rest[start - 1])) --start;
    after.insert(after.begin(), rest.substr(start, end - start));
    rest.erase(start);
    while (!rest.empty() && IsBlank(rest.back())) rest.pop_back();
  }
  if (verb.text) {
    step.words.push_back(rest);
  } else if (!rest.empty()) {
    throw Failure{L"too many words"};
  }
  step.words.insert(step.words.end(), after.begin(), after.end());
  for (size_t i = 0; i < step.words.size(); ++i) {
    const bool isText = verb.text && i == static_cast<size_t>(verb.before);
    if (!isText && step.words[i].empty()) throw Failure{L"missing argument"};
  }
  return step;
}

std::wstring ReadUtf8File(const std::wstring& path) {
  UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) throw Failure{L"cannot open " + path + L", error " + std::to_wstring(GetLastError())};
  std::string bytes;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
    bytes.append(buffer, got);
  }
  if (bytes.empty()) return {};
  const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                       static_cast<int>(bytes.size()), nullptr, 0);
  if (size <= 0) throw Failure{path + L" is not UTF-8"};
  std::wstring text(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), size);
  return text;
}

// Steps one a line; blank lines and "#" comments are skipped.
std::vector<Step> StepsOfFile(const std::wstring& path) {
  const std::wstring text = ReadUtf8File(path);
  std::vector<Step> steps;
  size_t lineNumber = 0;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = text.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    size_t first = 0;
    while (first < line.size() && IsBlank(line[first])) ++first;
    if (first == line.size() || line[first] == L'#') continue;
    const std::wstring where = L"line " + std::to_wstring(lineNumber);
    try {
      Step step = StepOfLine(line);
      step.where.append(where).append(L" (").append(step.verb).append(L")");
      steps.push_back(std::move(step));
    } catch (const Failure& failure) {
      throw Failure{path + L" " + where + L": " + failure.why};
    }
  }
  return steps;
}

class Driver {
 public:
  explicit Driver(std::vector<Step> steps) : steps_(std::move(steps)) {}

  ~Driver() {
    if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
      Write(GetStdHandle(STD_ERROR_HANDLE), L"uidriver: terminating the started program\n");
      TerminateProcess(process_.get(), 255);
      WaitForSingleObject(process_.get(), 5000);
    }
  }

  int Run() {
    for (const Step& step : steps_) {
      try {
        RunStep(step.verb, step.words);
      } catch (const Failure& failure) {
        Write(GetStdHandle(STD_ERROR_HANDLE),
              L"uidriver: " + step.where + L": " + failure.why + L"\n");
        return 1;
      }
    }
    return 0;
  }

 private:
  void RunStep(const std::wstring& verb, const std::vector<std::wstring>& words) {
    if (verb == L"timeout") {
      timeoutMs_ = Slowed(static_cast<DWORD>(ParseNumber(words[0])));
    } else if (verb == L"start") {
      Start(words[0]);
    } else if (verb == L"window") {
      FindWindowStep(words[0], nullptr);
    } else if (verb == L"dialog") {
      const int id = ParseId(words[1]);
      FindWindowStep(words[0], &id);
    } else if (verb == L"expect-text") {
      const int id = ParseId(words[0]);
      const std::wstring& expected = words[1];
      HWND control = ControlOf(id);
      WaitFor([&] { return WindowText(control) == expected; },
              [&] {
                return L"control " + std::to_wstring(id) + L" reads \"" + WindowText(control) +
                       L"\", not \"" + expected + L"\"";
              });
    } else if (verb == L"expect-caption") {
      const std::wstring& expected = words[0];
      HWND window = Current();
      WaitFor([&] { return WindowText(window) == expected; },
              [&] { return L"the caption reads \"" + WindowText(window) + L"\""; });
    } else if (verb == L"expect-enabled" || verb == L"expect-disabled") {
      const bool enabled = verb == L"expect-enabled";
      const int id = ParseId(words[0]);
      HWND control = ControlOf(id);
      WaitFor([&] { return (IsWindowEnabled(control) != FALSE) == enabled; },
              [&] {
                return L"control " + std::to_wstring(id) + L" is " +
                       (enabled ? L"disabled" : L"enabled");
              });
    } else if (verb == L"expect-row") {
      const int id = ParseId(words[0]);
      const int row = static_cast<int>(ParseNumber(words[1]));
      const std::wstring& text = words[2];
      const int image = static_cast<int>(ParseNumber(words[3]));
      HWND list = ControlOf(id);
      ListRow found;
      WaitFor(
          [&] {
            return ReadListRow(list, row, found) && found.text == text && found.image == image;
          },
          [&] {
            return L"row " + std::to_wstring(row) + L" reads \"" + found.text + L"\" with image " +
                   std::to_wstring(found.image);
          });
    } else if (verb == L"print-text") {
      Write(GetStdHandle(STD_OUTPUT_HANDLE), WindowText(ControlOf(ParseId(words[0]))) + L"\n");
    } else if (verb == L"list") {
      List();
    } else if (verb == L"click") {
      const int id = ParseId(words[0]);
      HWND button = ControlOf(id);
      if (!IsWindowVisible(button)) throw Failure{L"the button is hidden"};
      if (!IsWindowEnabled(button)) throw Failure{L"the button is disabled"};
      Deliver(button, BM_CLICK, 0, 0);
    } else if (verb == L"command") {
      Deliver(Current(), WM_COMMAND, MAKEWPARAM(ParseId(words[0]), BN_CLICKED), 0);
    } else if (verb == L"syscommand") {
      const std::wstring& code = words[0];
      Deliver(Current(), WM_SYSCOMMAND, code == L"close" ? SC_CLOSE : ParseId(code), 0);
    } else if (verb == L"repaint") {
      HWND window = Current();
      RedrawWindow(window, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
      DWORD_PTR ignored = 0;
      SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeoutMs_, &ignored);
    } else if (verb == L"expect-alive") {
      if (!IsWindow(Current())) throw Failure{L"the window is gone"};
    } else if (verb == L"expect-centred") {
      HWND window = Current();
      RECT area = {};
      WaitFor(
          [&] {
            GetWindowRect(window, &area);
            // Twice the offset from the middle: within a pixel either way.
            const int dx = area.left + area.right - GetSystemMetrics(SM_CXSCREEN);
            const int dy = area.top + area.bottom - GetSystemMetrics(SM_CYSCREEN);
            return std::abs(dx) <= 2 && std::abs(dy) <= 2;
          },
          [&] {
            return L"its top-left corner is at " + std::to_wstring(area.left) + L"," +
                   std::to_wstring(area.top);
          });
    } else if (verb == L"gone") {
      HWND window = Current();
      WaitFor([&] { return !IsWindow(window); }, [] { return L"the window is still there"; });
    } else if (verb == L"expect-exit") {
      ExpectExit(static_cast<DWORD>(ParseNumber(words[0])));
    }
  }

  template <typename Condition, typename Describe>
  void WaitFor(Condition condition, Describe describe) {
    const DWORD start = GetTickCount();
    for (;;) {
      if (condition()) return;
      if (GetTickCount() - start >= timeoutMs_) {
        throw Failure{std::wstring(describe()) + L" after " + std::to_wstring(timeoutMs_) + L" ms"};
      }
      Sleep(20);  // polling interval of the wait, not a wait for the target
    }
  }

  void Start(std::wstring commandLine) {
    if (process_) throw Failure{L"a program was started already"};
    if (!commandLine.empty() && commandLine[0] == L'/') commandLine.insert(0, L"Z:");
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
      throw Failure{L"cannot start it, error " + std::to_wstring(GetLastError())};
    }
    UniqueHandle thread(info.hThread);
    process_.reset(info.hProcess);
    processId_ = info.dwProcessId;
  }

  struct Search {
    const Driver* driver;
    const std::wstring* caption;
    const int* id;
    HWND found;
  };

  static BOOL CALLBACK Visit(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    if (!IsWindowVisible(window)) return TRUE;
    if (search->driver->processId_ != 0) {
      DWORD owner = 0;
      GetWindowThreadProcessId(window, &owner);
      if (owner != search->driver->processId_) return TRUE;
    }
    if (WindowText(window) != *search->caption) return TRUE;
    if (search->id != nullptr && GetDlgItem(window, *search->id) == nullptr) return TRUE;
    search->found = window;
    return FALSE;
  }

  void FindWindowStep(const std::wstring& caption, const int* id) {
    Search search{this, &caption, id, nullptr};
    WaitFor(
        [&] {
          EnumWindows(&Driver::Visit, reinterpret_cast<LPARAM>(&search));
          return search.found != nullptr;
        },
        [&] {
          return L"no window \"" + caption + L"\"" +
                 (id ? L" with control " + std::to_wstring(*id) : std::wstring());
        });
    current_ = search.found;
  }

  HWND Current() const {
    if (current_ == nullptr) throw Failure{L"no current window: use window or dialog first"};
    return current_;
  }

  HWND ControlOf(long id) const {
    HWND control = GetDlgItem(Current(), static_cast<int>(id));
    if (control == nullptr) throw Failure{L"no control " + std::to_wstring(id)};
    return control;
  }

  // Sends without waiting for the handler (it may run a modal loop), then waits until the
  // target has served a later message: it handled ours, entered a modal loop, or is gone.
  void Deliver(HWND target, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!SendNotifyMessageW(target, message, wParam, lParam)) {
      throw Failure{L"cannot send the message, error " + std::to_wstring(GetLastError())};
    }
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(target, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeoutMs_, &ignored);
  }

  void List() {
    std::wstring out;
    for (HWND child = GetWindow(Current(), GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
      out += std::to_wstring(static_cast<int>(GetDlgCtrlID(child))) + L"\t" + ClassName(child) +
             L"\t" + (IsWindowVisible(child) ? L"visible" : L"hidden") + L"," +
             (IsWindowEnabled(child) ? L"enabled" : L"disabled") + L"\t" + WindowText(child) +
             L"\n";
    }
    Write(GetStdHandle(STD_OUTPUT_HANDLE), out);
  }

  void ExpectExit(DWORD expected) {
    if (!process_) throw Failure{L"no program was started"};
    if (WaitForSingleObject(process_.get(), timeoutMs_) != WAIT_OBJECT_0) {
      throw Failure{L"the program still runs after " + std::to_wstring(timeoutMs_) + L" ms"};
    }
    DWORD code = 0;
    GetExitCodeProcess(process_.get(), &code);
    if (code != expected) {
      throw Failure{L"the program exited with " + std::to_wstring(code) + L", not " +
                    std::to_wstring(expected)};
    }
  }

  static DWORD Slowed(DWORD ms) {
    wchar_t text[16];
    const DWORD length = GetEnvironmentVariableW(L"TAVREL_WINE_TIME_FACTOR", text, 16);
    if (length == 0 || length >= 16) return ms;
    const unsigned long factor = std::wcstoul(text, nullptr, 10);
    return factor >= 1 && factor <= 100 ? static_cast<DWORD>(ms * factor) : ms;
  }

  std::vector<Step> steps_;
  DWORD timeoutMs_ = Slowed(10000);
  UniqueHandle process_;
  DWORD processId_ = 0;
  HWND current_ = nullptr;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::wstring> args(argv + 1, argv + argc);
  bool printOnly = false;
  if (!args.empty() && args[0] == L"--print") {
    printOnly = true;
    args.erase(args.begin());
  }
  if (args.empty()) {
    Write(GetStdHandle(STD_ERROR_HANDLE),
          L"usage: uidriver [--print] [--timeout MS] STEP... | --steps FILE  (steps: see "
          L"tools/uidriver/uidriver.cpp)\n");
    return 2;
  }
  try {
    std::vector<Step> steps;
    const size_t fileAt = args.size() >= 2 && args[0] == L"--timeout" ? 2 : 0;
    if (args.size() == fileAt + 2 && args[fileAt] == L"--steps") {
      steps = StepsOfArguments(std::vector<std::wstring>(args.begin(), args.begin() + fileAt));
      std::vector<Step> read = StepsOfFile(args[fileAt + 1]);
      steps.insert(steps.end(), read.begin(), read.end());
    } else {
      steps = StepsOfArguments(args);
    }
    if (printOnly) {
      std::wstring out;
      for (const Step& step : steps) {
        out += step.verb;
        for (const std::wstring& word : step.words) out += L"\t" + word;
        out += L"\n";
      }
      Write(GetStdHandle(STD_OUTPUT_HANDLE), out);
      return 0;
    }
    Driver driver(std::move(steps));
    return driver.Run();
  } catch (const Failure& failure) {
    Write(GetStdHandle(STD_ERROR_HANDLE), L"uidriver: " + failure.why + L"\n");
    return 2;
  } catch (...) {
    Write(GetStdHandle(STD_ERROR_HANDLE), L"uidriver: out of memory\n");
    return 1;
  }
}
