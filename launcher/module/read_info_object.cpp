#include "module/read_info_object.h"

#include <new>
#include <string>

#include "identity/drive_identity.h"
#include "module/member_name_cache.h"
#include "module/module_state.h"
#include "module/type_info_cache.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "readinfo/read_info.h"

namespace pellwick {

static_assert(sizeof(OLECHAR) == sizeof(char16_t), "OLECHAR is UTF-16");
static_assert(com::kSupportedSafetyOptions ==
                  (INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA),
              "safety options");

HRESULT ReadInfo::Create(IUnknown* outer, REFIID iid, void** object) {
  ReadInfo* readInfo = new (std::nothrow) ReadInfo(outer);
  if (readInfo == nullptr) return E_OUTOFMEMORY;
  // Held for the query, so a failing one destroys the object with the last release.
  readInfo->own_.AddRef();
  const HRESULT result = readInfo->own_.QueryInterface(iid, object);
  readInfo->own_.Release();
  return result;
}

ReadInfo::ReadInfo(IUnknown* outer) : own_(*this), controlling_(outer ? outer : &own_) {
  Module().lock.Lock();
}

ReadInfo::~ReadInfo() { Module().lock.Unlock(); }

STDMETHODIMP ReadInfo::OwnUnknown::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown)) {
    *object = static_cast<IUnknown*>(this);
  } else if (IsEqualIID(iid, IID_IObjectSafety)) {
    *object = static_cast<IObjectSafety*>(&owner_);
  } else if (IsEqualIID(iid, IID_IReadInfo) || IsEqualIID(iid, IID_IDispatch)) {
    *object = static_cast<IReadInfo*>(&owner_);
  } else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  static_cast<IUnknown*>(*object)->AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) ReadInfo::OwnUnknown::AddRef() { return ++owner_.references_; }

STDMETHODIMP_(ULONG) ReadInfo::OwnUnknown::Release() {
  const ULONG count = --owner_.references_;
  if (count == 0) delete &owner_;
  return count;
}

STDMETHODIMP ReadInfo::QueryInterface(REFIID iid, void** object) {
  const HRESULT result = controlling_->QueryInterface(iid, object);
  // An outer object that does not know an interface of ours still lets it be found.
  if (FAILED(result) && controlling_ != &own_) return own_.QueryInterface(iid, object);
  return result;
}

STDMETHODIMP_(ULONG) ReadInfo::AddRef() { return controlling_->AddRef(); }

STDMETHODIMP_(ULONG) ReadInfo::Release() { return controlling_->Release(); }

STDMETHODIMP ReadInfo::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 1;
  return S_OK;
}

STDMETHODIMP ReadInfo::GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  ITypeInfo* loaded = nullptr;
  const HRESULT result = ReadInfoTypeInfo().Get(lcid, loaded);
  if (FAILED(result)) return result;
  loaded->AddRef();
  *info = loaded;
  return S_OK;
}

STDMETHODIMP ReadInfo::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID lcid,
                                     DISPID* dispids) {
  TypeInfoCache& cache = ReadInfoTypeInfo();
  ITypeInfo* info = nullptr;
  const HRESULT result = cache.Get(lcid, info);
  if (FAILED(result)) return result;
  if (names == nullptr || dispids == nullptr) return E_POINTER;
  // The type information would read through a null name.
  bool nullName = false;
  for (UINT index = 0; index < count; ++index) {
    dispids[index] = DISPID_UNKNOWN;
    if (names[index] == nullptr) nullName = true;
  }
  if (nullName) return DISP_E_UNKNOWNNAME;
  if (count == 1) {
    if (const auto dispid = cache.names().FindDispid(reinterpret_cast<const char16_t*>(names[0]))) {
      dispids[0] = *dispid;
      return S_OK;
    }
  }
  return info->GetIDsOfNames(names, count, dispids);
}

STDMETHODIMP ReadInfo::Invoke(DISPID dispid, REFIID, LCID lcid, WORD flags, DISPPARAMS* parameters,
                              VARIANT* result, EXCEPINFO* exception, UINT* argumentError) {
  TypeInfoCache& cache = ReadInfoTypeInfo();
  ITypeInfo* info = nullptr;
  const HRESULT loaded = cache.Get(lcid, info);
  if (FAILED(loaded)) return loaded;
  if (parameters == nullptr) return E_INVALIDARG;
  // Windows refuses a call with the wrong number of arguments in ITypeInfo::Invoke; Wine lets
  // extra ones through. Checking here makes both behave alike.
  const auto expected = cache.names().ArgumentCount(dispid);
  if (expected && *expected != parameters->cArgs) return DISP_E_BADPARAMCOUNT;
  return info->Invoke(static_cast<IReadInfo*>(this), dispid, flags, parameters, result, exception,
                      argumentError);
}

namespace {

ReadInfoMethods SystemReadInfoMethods() {
  return ReadInfoMethods(LaunchPlatform{platform::CurrentUserRegistry(),
                                        platform::SystemFileSystem(), platform::SystemShell(),
                                        platform::SystemMessageBoxes()});
}

// A BSTR as the launch logic takes it: UTF-16 read up to its first zero, null allowed.
BstrArg Arg(BSTR value) { return reinterpret_cast<BstrArg>(value); }

}  // namespace

STDMETHODIMP ReadInfo::PassReadInfoDirect(BSTR bstrDataWebRoot, BSTR bstrSbkID, LONG lReadType,
                                          LONG lPriorPageNo, BSTR bstrKey, BSTR bstrSbkName) {
  return SystemReadInfoMethods().PassReadInfoDirect(Arg(bstrDataWebRoot), Arg(bstrSbkID), lReadType,
                                                    lPriorPageNo, Arg(bstrKey), Arg(bstrSbkName));
}

STDMETHODIMP ReadInfo::PassEncryptURL(BSTR bstrEncryptURL) {
  return SystemReadInfoMethods().PassEncryptURL(Arg(bstrEncryptURL));
}

STDMETHODIMP ReadInfo::PassReadInfoDirectNew(BSTR bstrDataWebRoot, BSTR bstrSbkID, LONG lReadType,
                                             LONG lPriorPageNo, BSTR bstrKey, BSTR bstrSbkName,
                                             LONG lUserType) {
  return SystemReadInfoMethods().PassReadInfoDirectNew(Arg(bstrDataWebRoot), Arg(bstrSbkID),
                                                       lReadType, lPriorPageNo, Arg(bstrKey),
                                                       Arg(bstrSbkName), lUserType);
}

STDMETHODIMP ReadInfo::PassReadInfoDirectNew2(BSTR bstrDataWebRoot, BSTR bstrSbkID, LONG lReadType,
                                              LONG lPriorPageNo, BSTR bstrKey, BSTR bstrSbkName,
                                              LONG lUserType, BSTR bstrFeiPercent, BSTR bstrUserId,
                                              BSTR bstrReadPercent, BSTR bstrPathSbkID) {
  return SystemReadInfoMethods().PassReadInfoDirectNew2(
      Arg(bstrDataWebRoot), Arg(bstrSbkID), lReadType, lPriorPageNo, Arg(bstrKey), Arg(bstrSbkName),
      lUserType, Arg(bstrFeiPercent), Arg(bstrUserId), Arg(bstrReadPercent), Arg(bstrPathSbkID));
}

STDMETHODIMP ReadInfo::PassReadInfoDirectNew3(BSTR bstrDataWebRoot, BSTR bstrSbkID, LONG lReadType,
                                              LONG lPriorPageNo, BSTR bstrKey, BSTR bstrSbkName,
                                              LONG lUserType, LONG lDownDay) {
  return SystemReadInfoMethods().PassReadInfoDirectNew3(Arg(bstrDataWebRoot), Arg(bstrSbkID),
                                                        lReadType, lPriorPageNo, Arg(bstrKey),
                                                        Arg(bstrSbkName), lUserType, lDownDay);
}

STDMETHODIMP ReadInfo::get_GetLocalID(BSTR* pVal) {
  if (pVal == nullptr) return E_POINTER;
  *pVal = nullptr;
  try {
    const DriveIdentity identity;
    const std::string serial = identity.serialNumber;
    const char* text = serial.c_str();
    const int length = static_cast<int>(std::char_traits<char>::length(text));
    const int units = ::MultiByteToWideChar(CP_ACP, 0, text, length, nullptr, 0);
    BSTR value = ::SysAllocStringLen(nullptr, static_cast<UINT>(units));
    if (value != nullptr) ::MultiByteToWideChar(CP_ACP, 0, text, length, value, units);
    *pVal = value;
  } catch (...) {
    // The identifier is then empty: automation reads a null BSTR as "".
  }
  return S_OK;
}

HRESULT ReadInfo::Ask(REFIID iid) {
  IUnknown* answer = nullptr;
  const HRESULT result = QueryInterface(iid, reinterpret_cast<void**>(&answer));
  // Only the answer matters: keeping the reference would keep the object and the module.
  if (SUCCEEDED(result)) answer->Release();
  return result;
}

STDMETHODIMP ReadInfo::GetInterfaceSafetyOptions(REFIID iid, DWORD* supported, DWORD* enabled) {
  if (supported == nullptr || enabled == nullptr) return E_POINTER;
  const HRESULT result = Ask(iid);
  if (FAILED(result)) {
    *supported = 0;
    *enabled = 0;
    return result;
  }
  *supported = com::kSupportedSafetyOptions;
  *enabled = safety_.enabled();
  return S_OK;
}

STDMETHODIMP ReadInfo::SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled) {
  if (FAILED(Ask(iid))) return E_NOINTERFACE;
  return safety_.Set(mask, enabled);
}

}  // namespace pellwick
