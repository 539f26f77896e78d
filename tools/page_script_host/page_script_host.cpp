// page_script_host: runs a JScript file as the script of a web page at a given address, the way
// a browser hosts a page's script, so that a control's site lock can be tried without a browser
// (cscript gives the objects a script creates a site that names no page).
//
// Usage: page_script_host PAGE_URL SCRIPT.js
// The script (UTF-8, or UTF-16LE with its byte order mark) sees one global object, WScript:
//   WScript.Echo(VALUE...)  prints the values, separated by spaces, and a line feed on standard
//                           output (UTF-8)
//   WScript.Quit([CODE])    ends the program at once with CODE (default 0)
// Exit code: 0 when the script ran to its end; 1 when it ended in an error, printed on standard
// error as "page_script_host: error 0x80070005 in line 3: DESCRIPTION"; 2 when the arguments
// are wrong or the script cannot be read.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "script_page.h"
#include "win32/handles.h"

namespace {

constexpr LONGLONG kLargestScript = 16LL * 1024 * 1024;

// Raw UTF-8 bytes, whatever the console code page is (the caller is usually a shell reading a
// pipe).
void Write(DWORD stream, const std::wstring& text) {
  if (text.empty()) return;
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
  DWORD written = 0;
  ::WriteFile(::GetStdHandle(stream), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
              nullptr);
}

// The system's text for `code`, empty when it has none (the engine gives none for an error a
// control returned without error information).
std::wstring SystemText(HRESULT code) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text(buffer != nullptr ? buffer : L"", length);
  ::LocalFree(buffer);
  return text;
}

// The script's text, or an explanation of why there is none in `why`.
bool ReadScript(const wchar_t* path, std::wstring& text, std::wstring& why) {
  const platform::win32::UniqueHandle file = platform::win32::OwnFileHandle(::CreateFileW(
      path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size = {};
  if (!file || !::GetFileSizeEx(file.get(), &size)) {
    why = L"cannot open the script";
    return false;
  }
  if (size.QuadPart > kLargestScript) {
    why = L"the script is larger than 16 MiB";
    return false;
  }
  std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!bytes.empty() &&
      (!::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
       read != bytes.size())) {
    why = L"cannot read the script";
    return false;
  }
  if (bytes.size() >= 2 && bytes[0] == '\xff' && bytes[1] == '\xfe') {
    text.assign(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
    return true;
  }
  const size_t start = bytes.compare(0, 3, "\xef\xbb\xbf") == 0 ? 3 : 0;
  const int length = static_cast<int>(bytes.size() - start);
  const int units = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data() + start,
                                          length, nullptr, 0);
  if (length > 0 && units == 0) {
    why = L"the script is neither UTF-8 nor UTF-16LE with a byte order mark";
    return false;
  }
  text.assign(static_cast<size_t>(units), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, bytes.data() + start, length, text.data(), units);
  return true;
}

// The script's WScript object: Echo and Quit.
class WScriptObject final : public page_script::StackDispatch {
 public:
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    if (count == 0) return E_INVALIDARG;
    if (_wcsicmp(names[0], L"Echo") == 0) ids[0] = kEcho;
    if (_wcsicmp(names[0], L"Quit") == 0) ids[0] = kQuit;
    // Named arguments are not taken.
    return ids[0] != DISPID_UNKNOWN && count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
  }
  STDMETHODIMP Invoke(DISPID dispid, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO*, UINT* argumentError) override {
    if ((dispid != kEcho && dispid != kQuit) || (flags & DISPATCH_METHOD) == 0) {
      return DISP_E_MEMBERNOTFOUND;
    }
    if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
    if (result != nullptr) ::VariantInit(result);
    VARIANT value;
    ::VariantInit(&value);
    if (dispid == kQuit) {
      if (params->cArgs > 1) return DISP_E_BADPARAMCOUNT;
      if (params->cArgs == 1 && FAILED(::VariantChangeType(&value, &params->rgvarg[0], 0, VT_I4))) {
        if (argumentError != nullptr) *argumentError = 0;
        return DISP_E_TYPEMISMATCH;
      }
      // As under a script host, the script goes no further, not even into a catch block.
      ::ExitProcess(params->cArgs == 1 ? static_cast<UINT>(value.lVal) : 0);
    }
    std::wstring line;
    for (UINT i = params->cArgs; i-- > 0;) {  // the arguments come last first
      if (i + 1 < params->cArgs) line += L' ';
      // Null and truth values as the script writes them; VARIANT rules make "" and "-1" of them.
      VARIANT& argument = params->rgvarg[i];
      if (V_VT(&argument) == VT_NULL || V_VT(&argument) == VT_BOOL) {
        line += V_VT(&argument) == VT_NULL ? L"null" : V_BOOL(&argument) ? L"true" : L"false";
        continue;
      }
      if (FAILED(::VariantChangeType(&value, &argument, 0, VT_BSTR))) {
        if (argumentError != nullptr) *argumentError = i;
        return DISP_E_TYPEMISMATCH;
      }
      line.append(value.bstrVal, ::SysStringLen(value.bstrVal));
      ::VariantClear(&value);
    }
    Write(STD_OUTPUT_HANDLE, line + L"\n");
    return S_OK;
  }

 private:
  static constexpr DISPID kEcho = 1;
  static constexpr DISPID kQuit = 2;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    Write(STD_ERROR_HANDLE, L"usage: page_script_host PAGE_URL SCRIPT.js\n");
    return 2;
  }
  std::wstring script;
  std::wstring why;
  if (!ReadScript(argv[2], script, why)) {
    Write(STD_ERROR_HANDLE, L"page_script_host: " + why + L": " + argv[2] + L"\n");
    return 2;
  }
  if (FAILED(::CoInitialize(nullptr))) return 1;
  int exitCode = 0;
  {
    WScriptObject wscript;
    page_script::ScriptPage page(argv[1]);
    page.AddNamedItem(L"WScript", &wscript);
    const HRESULT result = page.Run(script);
    if (FAILED(result)) {
      wchar_t code[16];
      std::swprintf(code, 16, L"0x%08lx", static_cast<unsigned long>(result));
      std::wstring message = L"page_script_host: error " + std::wstring(code);
      if (page.ErrorLine() != 0) message += L" in line " + std::to_wstring(page.ErrorLine());
      std::wstring description =
          page.ErrorDescription().empty() ? SystemText(result) : page.ErrorDescription();
      description.erase(description.find_last_not_of(L" \r\n") + 1);
      if (!description.empty()) message += L": " + description;
      Write(STD_ERROR_HANDLE, message + L"\n");
      exitCode = 1;
    }
  }
  ::CoUninitialize();
  return exitCode;
}
