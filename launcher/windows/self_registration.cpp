#include "self_registration.h"

#include <oleauto.h>

#include <memory>
#include <string>
#include <type_traits>

#include "module.h"
#include "platform/catch_all.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "registration/module_paths.h"
#include "registration/read_info_entries.h"
#include "registration/registry_table.h"

namespace launcher {
namespace {

struct ModuleFreer {
  void operator()(HMODULE module) const { ::FreeLibrary(module); }
};
using UniqueModule = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleFreer>;

HRESULT LastError() {
  const DWORD error = ::GetLastError();
  return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
}

// The DLL's long path, as GetModuleFileNameA gives it in a MAX_PATH buffer.
HRESULT ModulePath(HINSTANCE instance, std::string& path) {
  char buffer[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameA(instance, buffer, MAX_PATH);
  if (length == 0) return LastError();
  if (length >= MAX_PATH) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
  path.assign(buffer, length);
  return S_OK;
}

std::wstring Wide(const std::string& ansi) {
  const std::u16string wide = platform::AnsiToUtf16(ansi);
  return std::wstring(wide.begin(), wide.end());
}

// The type library from the DLL's resource TYPELIB 1, or else from the .tlb file beside it.
HRESULT LoadTypeLibrary(const std::string& modulePath, ComPtr<ITypeLib>& library,
                        std::wstring& loadedPath) {
  loadedPath = Wide(modulePath);
  HRESULT result = ::LoadTypeLib(loadedPath.c_str(), library.Receive());
  if (SUCCEEDED(result)) return result;
  loadedPath = Wide(TypeLibraryFilePath(modulePath));
  return ::LoadTypeLib(loadedPath.c_str(), library.Receive());
}

// The path the class's InprocServer32 names: the short form of the DLL's path.
std::string ShortServerPath(const std::string& longPath) {
  char shortPath[MAX_PATH] = {};
  const DWORD shortLength = ::GetShortPathNameA(longPath.c_str(), shortPath, MAX_PATH);
  return ServerPath(longPath, shortPath, shortLength, MAX_PATH);
}

}  // namespace

HRESULT RegisterServer(HINSTANCE instance) noexcept {
  return platform::CatchAll(E_OUTOFMEMORY, [&] {
    std::string longPath;
    HRESULT result = ModulePath(instance, longPath);
    if (FAILED(result)) return result;
    result = ApplyRegistration(kReadInfoRegistration, ShortServerPath(longPath),
                               platform::ClassesRootRegistry());
    if (FAILED(result)) return result;
    ComPtr<ITypeLib> library;
    std::wstring loadedPath;
    result = LoadTypeLibrary(longPath, library, loadedPath);
    if (FAILED(result)) return result;
    const std::wstring helpDirectory = Wide(HelpDirectory(longPath));
    return ::RegisterTypeLib(
        library.get(), const_cast<LPOLESTR>(loadedPath.c_str()),
        helpDirectory.empty() ? nullptr : const_cast<LPOLESTR>(helpDirectory.c_str()));
  });
}

HRESULT UnregisterServer(HINSTANCE instance) noexcept {
  // Nothing to report: unregistration always succeeds.
  platform::CatchAll([&] {
    std::string longPath;
    if (FAILED(ModulePath(instance, longPath))) return;
    RemoveRegistration(kReadInfoRegistration, platform::ClassesRootRegistry());
    ComPtr<ITypeLib> library;
    std::wstring loadedPath;
    if (FAILED(LoadTypeLibrary(longPath, library, loadedPath))) return;
    TLIBATTR* attributes = nullptr;
    if (FAILED(library->GetLibAttr(&attributes))) return;
    // Looked up by name: an oleaut32 without it leaves the type library registered.
    const UniqueModule oleaut32(::LoadLibraryA("oleaut32.dll"));
    using UnRegisterTypeLibFunction = decltype(&::UnRegisterTypeLib);
    const auto unregister =
        oleaut32 ? reinterpret_cast<UnRegisterTypeLibFunction>(reinterpret_cast<void*>(
                       ::GetProcAddress(oleaut32.get(), "UnRegisterTypeLib")))
                 : nullptr;
    if (unregister != nullptr) {
      unregister(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum,
                 attributes->lcid, attributes->syskind);
    }
    library->ReleaseTLibAttr(attributes);
  });
  return S_OK;
}

}  // namespace launcher
