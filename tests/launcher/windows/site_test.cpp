// Pellwick.dll in pages, as browsers host it: a site whose moniker names the page and whose
// services give the browser's location, the answers of the site lock, the administrator's
// policy, and a page's script calling the control through JScript. Run by
// tests/launcher/windows/pellwick_registration_test.sh in a registered prefix copy, whose reader key names
// the folder of the stand-in reader; each start of the reader adds a line to launch.log there.
#include <windows.h>
// The OLE headers need windows.h first.
#include <gtest/gtest.h>
#include <objsafe.h>
#include <ocidl.h>
#include <oleauto.h>
#include <shellapi.h>
#include <urlmon.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "pellwick_idl.h"
#include "platform/text.h"
#include "script_page.h"
#include "support/launch_cases.h"

namespace {

using page_script::FakeBrowser;
using page_script::ScriptPage;

const CLSID kClsidReadInfo = {
    0xa60848fe, 0x3f33, 0x46ca, {0xbd, 0x67, 0x22, 0x64, 0x92, 0xe1, 0xd9, 0xa3}};
const IID kIidReadInfo = {
    0x435f54e5, 0x01ac, 0x4a65, {0xa1, 0x04, 0xa7, 0xc4, 0x9b, 0xd2, 0x69, 0xa1}};
const wchar_t kUsualParameters[] =
    L" -url root -id A1 -t 2 -g 15 -key \"\" -n \"\u4e66\u540d\" -user 3 -downDay -1";

// A container's site: the page's address through the container's moniker, and the browser's
// location through its services; either may be missing (empty).
class PageSite final : public IOleClientSite, public IServiceProvider {
 public:
  PageSite(std::wstring page, std::wstring location)
      : page_(std::move(page)), browser_(std::move(location)) {}
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite)) {
      *object = static_cast<IOleClientSite*>(this);
    } else {
      *object =
          IsEqualIID(iid, IID_IServiceProvider) ? static_cast<IServiceProvider*>(this) : nullptr;
    }
    return *object != nullptr ? S_OK : E_NOINTERFACE;
  }
  STACK_OBJECT_COUNTS
  STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override {
    *moniker = nullptr;
    if (page_.empty() || assign != OLEGETMONIKER_ONLYIFTHERE || which != OLEWHICHMK_CONTAINER) {
      return E_FAIL;
    }
    return ::CreateURLMonikerEx(nullptr, page_.c_str(), moniker, URL_MK_UNIFORM);
  }
  STDMETHODIMP GetContainer(IOleContainer** container) override {
    *container = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }
  STDMETHODIMP QueryService(REFGUID service, REFIID iid, void** object) override {
    return browser_.QueryService(service, iid, object);
  }

 private:
  std::wstring page_;
  FakeBrowser browser_;
};

// The raw command line of every start of the stand-in reader.
std::vector<std::wstring> ReaderStarts() {
  char folder[MAX_PATH] = {};
  LONG size = sizeof folder;
  ::RegQueryValueA(HKEY_CURRENT_USER, "Software\\Morvane\\Reader", folder, &size);
  std::wstring text;
  const HANDLE file =
      ::CreateFileA((std::string(folder) + "\\launch.log").c_str(), GENERIC_READ,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  wchar_t buffer[2048];
  DWORD read = 0;
  while (file != INVALID_HANDLE_VALUE && ::ReadFile(file, buffer, sizeof buffer, &read, nullptr) &&
         read > 0) {
    text.append(buffer, read / sizeof(wchar_t));
  }
  if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
  std::vector<std::wstring> lines;
  for (std::size_t start = 0, end; (end = text.find(L'\n', start)) != std::wstring::npos;
       start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

// The starts once there are `count` of them, waiting at most 30 seconds.
std::vector<std::wstring> WaitForStarts(std::size_t count) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  std::vector<std::wstring> starts;
  while ((starts = ReaderStarts()).size() < count && std::chrono::steady_clock::now() < deadline) {
    ::Sleep(20);
  }
  return starts;
}

// The arguments after the program name, as the reader splits its command line.
std::vector<std::u16string> ArgumentsOf(const std::wstring& commandLine) {
  int count = 0;
  LPWSTR* argv = ::CommandLineToArgvW(commandLine.c_str(), &count);
  std::vector<std::u16string> arguments;
  for (int i = 1; argv != nullptr && i < count; ++i) {
    arguments.emplace_back(argv[i], argv[i] + wcslen(argv[i]));
  }
  ::LocalFree(argv);
  return arguments;
}

bool EndsWith(const std::wstring& text, const std::wstring& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

class SiteLock : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr))); }
  void TearDown() override { ::CoUninitialize(); }

  static IReadInfo* NewControl(IUnknown* site) {
    IReadInfo* control = nullptr;
    IObjectWithSite* withSite = nullptr;
    EXPECT_EQ(::CoCreateInstance(kClsidReadInfo, nullptr, CLSCTX_INPROC_SERVER, kIidReadInfo,
                                 reinterpret_cast<void**>(&control)),
              S_OK);
    if (site != nullptr && control != nullptr &&
        SUCCEEDED(
            control->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&withSite)))) {
      EXPECT_EQ(withSite->SetSite(site), S_OK);
      withSite->Release();
    }
    return control;
  }

  // Whether the control serves its page: reads the identifier, takes safety options and opens
  // the book, or refuses all three alike.
  static std::optional<bool> Answers(IReadInfo* control) {
    static OLECHAR sentinel[] = L"sentinel";
    BSTR id = sentinel;  // an out parameter: overwritten whatever the answer
    const HRESULT idResult = control->get_GetLocalID(&id);
    const bool idRead = idResult == S_OK && id != nullptr && id != sentinel;
    const bool idRefused = idResult == E_ACCESSDENIED && id == nullptr;
    if (id != sentinel) ::SysFreeString(id);
    IObjectSafety* safety = nullptr;
    control->QueryInterface(IID_IObjectSafety, reinterpret_cast<void**>(&safety));
    const HRESULT safetyResult = safety->SetInterfaceSafetyOptions(
        IID_IDispatch, INTERFACESAFE_FOR_UNTRUSTED_CALLER, INTERFACESAFE_FOR_UNTRUSTED_CALLER);
    safety->Release();
    BSTR root = ::SysAllocString(L"root");
    BSTR book = ::SysAllocString(L"A1");
    BSTR name = ::SysAllocString(L"\u4e66\u540d");
    const HRESULT launchResult =
        control->PassReadInfoDirectNew3(root, book, 2, 15, nullptr, name, 3, -1);
    ::SysFreeString(root);
    ::SysFreeString(book);
    ::SysFreeString(name);
    if (idRead && safetyResult == S_OK && launchResult == S_OK) return true;
    if (idRefused && safetyResult == E_ACCESSDENIED && launchResult == E_ACCESSDENIED) return false;
    ADD_FAILURE() << std::hex << "GetLocalID " << idResult << ", SetInterfaceSafetyOptions "
                  << safetyResult << ", PassReadInfoDirectNew3 " << launchResult;
    return std::nullopt;
  }
};

TEST_F(SiteLock, AnswersFollowTheHostingPage) {
  const struct {
    const char* what;
    const wchar_t* page;      // the container moniker's display name
    const wchar_t* location;  // the browser's location
    bool cleared;             // the site is taken away again before the control is used
    bool allowed;
  } rows[] = {
      {"an unlisted page", L"http://evil.example/reader.htm", L"", false, false},
      {"a host that only contains an allowed name", L"https://morvane.net.evil.example/", L"",
       false, false},
      {"an allowed name in the query", L"http://evil.example/?morvane.net", L"", false, false},
      {"an allowed frame in another site's browser", L"https://morvane.net/a.htm",
       L"http://evil.example/", false, false},
      {"a site without an address", L"", L"", false, false},
      {"an allowed page's site, taken away", L"https://morvane.net/", L"", true, false},
      {"the browser's location alone", L"", L"https://morvane.net/", false, true},
      {"an allowed page in an allowed browser", L"https://morvane.net/a.htm",
       L"https://www.morvane.net/", false, true},
      {"an allowed page", L"https://www.morvane.net/books/1.htm", L"", false, true},
  };
  std::size_t starts = ReaderStarts().size();
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    PageSite site(row.page, row.location);
    IReadInfo* control = NewControl(static_cast<IOleClientSite*>(&site));
    ASSERT_NE(control, nullptr);
    IObjectWithSite* withSite = nullptr;
    ASSERT_EQ(control->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&withSite)),
              S_OK);
    if (row.cleared) withSite->SetSite(nullptr);
    EXPECT_EQ(Answers(control), row.allowed);
    // Refused rows come first: a start they made would be counted before the allowed ones'.
    if (row.allowed) {
      const std::vector<std::wstring> lines = WaitForStarts(++starts);
      ASSERT_EQ(lines.size(), starts) << "the reader did not start";
      EXPECT_TRUE(EndsWith(lines.back(), kUsualParameters));
    }
    withSite->SetSite(nullptr);
    void* given = &site;
    EXPECT_EQ(withSite->GetSite(IID_IUnknown, &given), E_FAIL);
    EXPECT_EQ(given, nullptr);
    withSite->Release();
    control->Release();
  }
}

TEST_F(SiteLock, NoSiteEverSetBehavesAsBefore) {
  IReadInfo* control = NewControl(nullptr);
  const std::size_t starts = ReaderStarts().size();
  // A value with an embedded NUL is read up to it, as a BSTR argument always was.
  BSTR root = ::SysAllocString(L"root");
  BSTR book = ::SysAllocStringLen(L"A1\0 -key evil", 13);
  EXPECT_EQ(control->PassReadInfoDirect(root, book, 2, 15, nullptr, nullptr), S_OK);
  ::SysFreeString(root);
  ::SysFreeString(book);
  const std::vector<std::wstring> lines = WaitForStarts(starts + 1);
  ASSERT_EQ(lines.size(), starts + 1);
  EXPECT_TRUE(EndsWith(lines.back(), L" -url root -id A1 -t 2 -g 15 -key \"\" -n \"\""));
  EXPECT_EQ(Answers(control), true);
  EXPECT_EQ(WaitForStarts(starts + 2).size(), starts + 2);
  control->Release();
}

// Writes or removes the value AllowedSites of the reader's policy key under `root`.
void SetPolicy(HKEY root, const wchar_t* entries) {
  const wchar_t key[] = L"Software\\Policies\\Morvane\\Reader";
  if (entries == nullptr) {
    ::RegDeleteKeyW(root, key);
    return;
  }
  HKEY opened = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(root, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened, nullptr),
            ERROR_SUCCESS);
  ::RegSetValueExW(opened, L"AllowedSites", 0, REG_SZ, reinterpret_cast<const BYTE*>(entries),
                   static_cast<DWORD>((wcslen(entries) + 1) * sizeof(wchar_t)));
  ::RegCloseKey(opened);
}

TEST_F(SiteLock, OnlyTheAdministratorsPolicyExtendsTheList) {
  PageSite site(L"https://library.example/books/", L"");
  IReadInfo* control = NewControl(static_cast<IOleClientSite*>(&site));
  const struct {
    const char* what;
    const wchar_t* perUser;
    const wchar_t* localMachine;
    bool allowed;
  } rows[] = {
      {"built-in list only", nullptr, nullptr, false},
      {"a per-user value", L"library.example", nullptr, false},
      {"another site in the administrator's value", nullptr, L"*.library.example", false},
      {"the administrator's value", nullptr, L"other.example; library.example", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    SetPolicy(HKEY_CURRENT_USER, row.perUser);
    SetPolicy(HKEY_LOCAL_MACHINE, row.localMachine);
    const std::size_t starts = ReaderStarts().size();
    EXPECT_EQ(Answers(control), row.allowed);
    if (row.allowed) {
      EXPECT_EQ(WaitForStarts(starts + 1).size(), starts + 1);
    }
  }
  SetPolicy(HKEY_CURRENT_USER, nullptr);
  SetPolicy(HKEY_LOCAL_MACHINE, nullptr);
  control->Release();
}

// `value` as a JScript string literal, every character escaped.
std::wstring ScriptString(const std::u16string& value) {
  std::wstring literal = L"\"";
  for (const char16_t c : value) {
    wchar_t escape[8];
    swprintf(escape, 8, L"\\u%04x", static_cast<unsigned>(c));
    literal += escape;
  }
  return literal + L"\"";
}

TEST_F(SiteLock, HostileValuesFromAPageScriptArriveAsOneArgumentEach) {
  ScriptPage page(L"https://www.morvane.net/read.htm");
  std::size_t starts = ReaderStarts().size();
  for (std::size_t i = 0; i < std::size(testing_support::kHostileValues); ++i) {
    const testing_support::HostileRow row = testing_support::HostileRowAt(i);
    const std::wstring script =
        L"new ActiveXObject(\"MYPellwick.ReadInfo\").PassReadInfoDirectNew3(" +
        ScriptString(row.url) + L", " + ScriptString(row.id) + L", 2, 15, " +
        ScriptString(row.key) + L", " + ScriptString(row.name) + L", 3, -1);";
    SCOPED_TRACE(std::string(script.begin(), script.end()));
    ASSERT_EQ(page.Run(script), S_OK);
    const std::vector<std::wstring> lines = WaitForStarts(++starts);
    ASSERT_EQ(lines.size(), starts) << "the reader did not start";
    EXPECT_EQ(ArgumentsOf(lines.back()),
              testing_support::ExpectedArguments(launcher::CommandFormat::kNew3, row,
                                                 platform::AnsiCodePage()));
  }
}

TEST_F(SiteLock, AScriptOnAnUnlistedPageIsRefused) {
  ScriptPage page(L"http://evil.example/read.htm");
  const std::size_t starts = ReaderStarts().size();
  EXPECT_EQ(page.Run(L"new ActiveXObject(\"MYPellwick.ReadInfo\").PassReadInfoDirect(\"root\", "
                     L"\"A1\", 2, 15, \"\", \"n\");"),
            E_ACCESSDENIED);
  EXPECT_EQ(page.Run(L"var id = new ActiveXObject(\"MYPellwick.ReadInfo\").GetLocalID;"),
            E_ACCESSDENIED);
  EXPECT_EQ(ReaderStarts().size(), starts);
}

}  // namespace
