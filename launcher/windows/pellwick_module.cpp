// Pellwick.dll's module: the entry point and the four exports, the one module count, the class
// table with the class object of ReadInfo, and the type information of IReadInfo, loaded once
// and released when the DLL is unloaded.
#include <windows.h>
// Defines the GUIDs of the generated header, in this one file.
#include <initguid.h>

#include <atomic>
#include <new>

#include "module.h"
#include "pellwick_idl.h"
#include "read_info_object.h"
#include "self_registration.h"

namespace launcher {

static_assert(com::kSOk == S_OK && com::kSFalse == S_FALSE && com::kEFail == E_FAIL &&
                  com::kEUnexpected == E_UNEXPECTED && com::kEOutOfMemory == E_OUTOFMEMORY &&
                  com::kDispEException == DISP_E_EXCEPTION,
              "HRESULT values");

namespace {

HINSTANCE moduleInstance = nullptr;
std::atomic<LONG> moduleCount{0};
std::atomic<ReadInfoTypeInfo*> readInfoTypeInfo{nullptr};

// A class object lives as long as the module: its references are locks on the module, so that
// a caller holding it keeps the DLL loaded.
class ClassFactory final : public IClassFactory {
 public:
  using Creator = HRESULT (*)(IUnknown* outer, REFIID iid, void** object);
  explicit constexpr ClassFactory(Creator create) : create_(create) {}

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IClassFactory) || IsEqualIID(iid, IID_IUnknown)) {
      *object = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  // The counts returned are for diagnostics only, as COM allows.
  STDMETHODIMP_(ULONG) AddRef() override {
    LockModule();
    return 2;
  }
  STDMETHODIMP_(ULONG) Release() override {
    UnlockModule();
    return 1;
  }

  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    // An aggregating outer object must ask for the inner object's own IUnknown.
    if (outer != nullptr && !IsEqualIID(iid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
    return create_(outer, iid, object);
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    if (lock) {
      LockModule();
    } else {
      UnlockModule();
    }
    return S_OK;
  }

 private:
  Creator create_;
};

ClassFactory readInfoFactory(&ReadInfo::Create);

struct ClassEntry {
  const CLSID& clsid;
  IClassFactory& factory;
};
const ClassEntry kClasses[] = {{CLSID_ReadInfo, readInfoFactory}};

// The arguments a caller passes: every parameter except a [retval] or [lcid] one.
uint32_t ArgumentCount(const FUNCDESC& function) {
  uint32_t count = 0;
  for (SHORT index = 0; index < function.cParams; ++index) {
    const USHORT flags = function.lprgelemdescParam[index].paramdesc.wParamFlags;
    if ((flags & (PARAMFLAG_FRETVAL | PARAMFLAG_FLCID)) == 0) ++count;
  }
  return count;
}

// The members a script may call: every function the type information lists except the
// restricted ones (QueryInterface, AddRef, Release and the like), which no script may reach.
HRESULT ListMembers(ITypeInfo& info, com::MemberNameCache& members) {
  TYPEATTR* attributes = nullptr;
  const HRESULT result = info.GetTypeAttr(&attributes);
  if (FAILED(result)) return result;
  const UINT functions = attributes->cFuncs;
  info.ReleaseTypeAttr(attributes);
  for (UINT index = 0; index < functions; ++index) {
    FUNCDESC* function = nullptr;
    if (FAILED(info.GetFuncDesc(index, &function))) continue;
    BSTR name = nullptr;
    if ((function->wFuncFlags & FUNCFLAG_FRESTRICTED) == 0 &&
        SUCCEEDED(info.GetDocumentation(function->memid, &name, nullptr, nullptr, nullptr))) {
      members.Add(std::u16string(reinterpret_cast<const char16_t*>(name), ::SysStringLen(name)),
                  function->memid, ArgumentCount(*function));
      ::SysFreeString(name);
    }
    info.ReleaseFuncDesc(function);
  }
  return S_OK;
}

HRESULT LoadReadInfoTypeInfo(LCID lcid, ReadInfoTypeInfo*& loaded) {
  ComPtr<ITypeLib> library;
  HRESULT result = ::LoadRegTypeLib(LIBID_MYPELLWICKLib, 1, 0, lcid, library.Receive());
  if (FAILED(result)) return result;
  ComPtr<ITypeInfo> info;
  result = library->GetTypeInfoOfGuid(IID_IReadInfo, info.Receive());
  if (FAILED(result)) return result;
  ComPtr<ITypeInfo2> info2;
  if (SUCCEEDED(info->QueryInterface(IID_ITypeInfo2, info2.ReceiveVoid()))) {
    *info.Receive() = info2.Detach();
  }
  auto* typeInfo = new (std::nothrow) ReadInfoTypeInfo{nullptr, {}};
  if (typeInfo == nullptr) return E_OUTOFMEMORY;
  try {
    result = ListMembers(*info.get(), typeInfo->members);
  } catch (const std::bad_alloc&) {
    result = E_OUTOFMEMORY;
  }
  if (FAILED(result)) {
    delete typeInfo;
    return result;
  }
  typeInfo->info = info.Detach();
  loaded = typeInfo;
  return S_OK;
}

void FreeReadInfoTypeInfo(ReadInfoTypeInfo* typeInfo) {
  if (typeInfo == nullptr) return;
  typeInfo->info->Release();
  delete typeInfo;
}

}  // namespace

void LockModule() { ++moduleCount; }
void UnlockModule() { --moduleCount; }

HRESULT GetReadInfoTypeInfo(LCID lcid, const ReadInfoTypeInfo*& typeInfo) {
  ReadInfoTypeInfo* current = readInfoTypeInfo.load(std::memory_order_acquire);
  if (current == nullptr) {
    ReadInfoTypeInfo* loaded = nullptr;
    const HRESULT result = LoadReadInfoTypeInfo(lcid, loaded);
    if (FAILED(result)) return result;
    // Two apartments may load it at once: the first to publish wins, the other lets go.
    if (readInfoTypeInfo.compare_exchange_strong(current, loaded, std::memory_order_acq_rel)) {
      current = loaded;
    } else {
      FreeReadInfoTypeInfo(loaded);
    }
  }
  typeInfo = current;
  return S_OK;
}

}  // namespace launcher

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    launcher::moduleInstance = instance;
    ::DisableThreadLibraryCalls(instance);
  } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
    // Unloaded by FreeLibrary: oleaut32 is still there to take its type information back. At
    // process exit it may be gone already, and the memory goes with the process anyway.
    launcher::FreeReadInfoTypeInfo(launcher::readInfoTypeInfo.exchange(nullptr));
  }
  return TRUE;
}

STDAPI DllCanUnloadNow() { return launcher::moduleCount.load() == 0 ? S_OK : S_FALSE; }

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  for (const launcher::ClassEntry& entry : launcher::kClasses) {
    if (IsEqualCLSID(clsid, entry.clsid)) return entry.factory.QueryInterface(iid, object);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllRegisterServer() { return launcher::RegisterServer(launcher::moduleInstance); }

STDAPI DllUnregisterServer() { return launcher::UnregisterServer(launcher::moduleInstance); }
