#include "module/type_info_cache.h"

#include <new>
#include <string>
#include <utility>

#include "module/com_ptr.h"
#include "module/module_state.h"
#include "pellwick_idl.h"

namespace pellwick {
namespace {

constexpr WORD kLibraryMajorVersion = 1;
constexpr WORD kLibraryMinorVersion = 0;

// The arguments a caller passes: every parameter except a [retval] or [lcid] one.
uint32_t ArgumentCount(const FUNCDESC& function) {
  uint32_t count = 0;
  for (SHORT index = 0; index < function.cParams; ++index) {
    const USHORT flags = function.lprgelemdescParam[index].paramdesc.wParamFlags;
    if ((flags & (PARAMFLAG_FRETVAL | PARAMFLAG_FLCID)) == 0) ++count;
  }
  return count;
}

}  // namespace

TypeInfoCache& ReadInfoTypeInfo() {
  static TypeInfoCache cache;
  return cache;
}

HRESULT TypeInfoCache::Get(LCID lcid, ITypeInfo*& info) {
  HRESULT result = S_OK;
  info = info_.Get([&] { return Load(lcid, result); });
  if (info != nullptr) return S_OK;
  return FAILED(result) ? result : E_FAIL;
}

ITypeInfo* TypeInfoCache::Load(LCID lcid, HRESULT& result) {
  com::ComPtr<ITypeLib> library;
  result = ::LoadRegTypeLib(LIBID_MYPELLWICKLib, kLibraryMajorVersion, kLibraryMinorVersion, lcid,
                            library.Receive());
  if (FAILED(result)) return nullptr;
  com::ComPtr<ITypeInfo> info;
  result = library->GetTypeInfoOfGuid(IID_IReadInfo, info.Receive());
  if (FAILED(result)) return nullptr;
  com::ComPtr<ITypeInfo2> info2;
  if (SUCCEEDED(info->QueryInterface(IID_ITypeInfo2, reinterpret_cast<void**>(info2.Receive())))) {
    info.Reset();
    *info.Receive() = info2.Detach();
  }

  TYPEATTR* attributes = nullptr;
  result = info->GetTypeAttr(&attributes);
  if (FAILED(result)) return nullptr;
  com::MemberNameCache names;
  try {
    for (UINT index = 0; index < attributes->cFuncs; ++index) {
      FUNCDESC* function = nullptr;
      if (FAILED(info->GetFuncDesc(index, &function))) continue;
      BSTR name = nullptr;
      if (SUCCEEDED(info->GetDocumentation(function->memid, &name, nullptr, nullptr, nullptr))) {
        names.Add(std::u16string(reinterpret_cast<const char16_t*>(name), ::SysStringLen(name)),
                  function->memid, ArgumentCount(*function));
        ::SysFreeString(name);
      }
      info->ReleaseFuncDesc(function);
    }
  } catch (const std::bad_alloc&) {
    info->ReleaseTypeAttr(attributes);
    result = E_OUTOFMEMORY;
    return nullptr;
  }
  info->ReleaseTypeAttr(attributes);

  if (!Module().termList.Add([this] { Release(); })) {
    result = E_OUTOFMEMORY;
    return nullptr;
  }
  names_ = std::move(names);
  result = S_OK;
  return info.Detach();
}

void TypeInfoCache::Release() {
  if (ITypeInfo* info = info_.Take()) info->Release();
  names_ = com::MemberNameCache();
}

}  // namespace pellwick
