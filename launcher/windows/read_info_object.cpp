#include "read_info_object.h"

// The browser's location, through the site's services: SID_SWebBrowserApp.
#include <exdisp.h>
#include <shlguid.h>

#include <new>
#include <string>
#include <vector>

#include "platform/catch_all.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "site/site_lock.h"
#include "win32_drive_devices.h"

namespace launcher {

static_assert(sizeof(OLECHAR) == sizeof(char16_t), "OLECHAR is UTF-16");
static_assert(com::kSupportedSafetyOptions ==
                  (INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA),
              "safety options");

namespace {

// IWebBrowser2's LocationURL property, read through the browser's IDispatch.
constexpr DISPID kLocationUrlDispid = 211;

ReadInfoPlatform SystemReadInfoPlatform() {
  ReadInfoPlatform platform{platform::CurrentUserRegistry(), platform::SystemFileSystem(),
                            platform::SystemShell(), platform::SystemMessageBoxes()};
  platform.openSystemDrives = [] { return SystemDriveDevices(); };
  return platform;
}

// A BSTR as the members take it: UTF-16 read up to its first zero, null allowed.
BstrArg Arg(BSTR value) { return reinterpret_cast<BstrArg>(value); }

// The display name of the container's moniker, which every container of controls can give.
void AddContainerAddress(IUnknown& site, std::vector<std::u16string>& addresses) {
  ComPtr<IOleClientSite> clientSite;
  ComPtr<IMoniker> moniker;
  ComPtr<IBindCtx> bindContext;
  LPOLESTR name = nullptr;
  if (SUCCEEDED(site.QueryInterface(IID_IOleClientSite, clientSite.ReceiveVoid())) &&
      SUCCEEDED(clientSite->GetMoniker(OLEGETMONIKER_ONLYIFTHERE, OLEWHICHMK_CONTAINER,
                                       moniker.Receive())) &&
      moniker && SUCCEEDED(::CreateBindCtx(0, bindContext.Receive())) &&
      SUCCEEDED(moniker->GetDisplayName(bindContext.get(), nullptr, &name)) && name != nullptr) {
    addresses.emplace_back(reinterpret_cast<const char16_t*>(name));
  }
  ::CoTaskMemFree(name);
}

// The location of the browser that shows the page, where the site offers the browser.
void AddBrowserAddress(IUnknown& site, std::vector<std::u16string>& addresses) {
  ComPtr<IServiceProvider> services;
  ComPtr<IDispatch> browser;
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  VARIANT location;
  ::VariantInit(&location);
  if (SUCCEEDED(site.QueryInterface(IID_IServiceProvider, services.ReceiveVoid())) &&
      SUCCEEDED(services->QueryService(SID_SWebBrowserApp, IID_IDispatch, browser.ReceiveVoid())) &&
      browser &&
      SUCCEEDED(browser->Invoke(kLocationUrlDispid, IID_NULL, LOCALE_USER_DEFAULT,
                                DISPATCH_PROPERTYGET, &none, &location, nullptr, nullptr)) &&
      location.vt == VT_BSTR && location.bstrVal != nullptr) {
    addresses.emplace_back(reinterpret_cast<const char16_t*>(location.bstrVal),
                           ::SysStringLen(location.bstrVal));
  }
  ::VariantClear(&location);
}

}  // namespace

HRESULT ReadInfo::Create(IUnknown* outer, REFIID iid, void** object) {
  ReadInfo* readInfo = new (std::nothrow) ReadInfo(outer);
  if (readInfo == nullptr) return E_OUTOFMEMORY;
  // Held for the query, so a failing one destroys the object with the last release.
  readInfo->own_.AddRef();
  const HRESULT result = readInfo->own_.QueryInterface(iid, object);
  readInfo->own_.Release();
  return result;
}

ReadInfo::ReadInfo(IUnknown* outer)
    : own_(*this), controlling_(outer ? outer : &own_), methods_(SystemReadInfoPlatform()) {
  LockModule();
}

ReadInfo::~ReadInfo() { UnlockModule(); }

STDMETHODIMP ReadInfo::OwnUnknown::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown)) {
    *object = static_cast<IUnknown*>(this);
  } else if (IsEqualIID(iid, IID_IObjectSafety)) {
    *object = static_cast<IObjectSafety*>(&owner_);
  } else if (IsEqualIID(iid, IID_IReadInfo) || IsEqualIID(iid, IID_IDispatch)) {
    *object = static_cast<IReadInfo*>(&owner_);
  } else if (IsEqualIID(iid, IID_IObjectWithSite)) {
    *object = static_cast<IObjectWithSite*>(&owner_);
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
  const ReadInfoTypeInfo* typeInfo = nullptr;
  const HRESULT result = GetReadInfoTypeInfo(lcid, typeInfo);
  if (FAILED(result)) return result;
  typeInfo->info->AddRef();
  *info = typeInfo->info;
  return S_OK;
}

STDMETHODIMP ReadInfo::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID lcid,
                                     DISPID* dispids) {
  const ReadInfoTypeInfo* typeInfo = nullptr;
  const HRESULT loaded = GetReadInfoTypeInfo(lcid, typeInfo);
  if (FAILED(loaded)) return loaded;
  if (names == nullptr || dispids == nullptr) return E_POINTER;
  // The type information would read through a null name.
  bool nullName = false;
  for (UINT index = 0; index < count; ++index) {
    dispids[index] = DISPID_UNKNOWN;
    if (names[index] == nullptr) nullName = true;
  }
  if (nullName) return DISP_E_UNKNOWNNAME;
  if (count == 1) {
    const auto dispid = typeInfo->members.FindDispid(reinterpret_cast<const char16_t*>(names[0]));
    if (dispid) {
      dispids[0] = *dispid;
      return S_OK;
    }
  }
  const HRESULT result = typeInfo->info->GetIDsOfNames(names, count, dispids);
  // The type information also knows the restricted members, which no script may reach.
  if (count > 0 && dispids[0] != DISPID_UNKNOWN && !typeInfo->members.ArgumentCount(dispids[0])) {
    for (UINT index = 0; index < count; ++index) dispids[index] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
  }
  return result;
}

STDMETHODIMP ReadInfo::Invoke(DISPID dispid, REFIID, LCID lcid, WORD flags, DISPPARAMS* parameters,
                              VARIANT* result, EXCEPINFO* exception, UINT* argumentError) {
  const ReadInfoTypeInfo* typeInfo = nullptr;
  const HRESULT loaded = GetReadInfoTypeInfo(lcid, typeInfo);
  if (FAILED(loaded)) return loaded;
  if (parameters == nullptr) return E_INVALIDARG;
  // Only the members of IReadInfo: ITypeInfo::Invoke would as well call QueryInterface,
  // AddRef or Release with whatever a script passes. Windows refuses a call with the wrong
  // number of arguments in ITypeInfo::Invoke, Wine lets extra ones through: the count is
  // checked here so both behave alike.
  const auto expected = typeInfo->members.ArgumentCount(dispid);
  if (!expected) return DISP_E_MEMBERNOTFOUND;
  if (*expected != parameters->cArgs) return DISP_E_BADPARAMCOUNT;
  return typeInfo->info->Invoke(static_cast<IReadInfo*>(this), dispid, flags, parameters, result,
                                exception, argumentError);
}

STDMETHODIMP ReadInfo::PassReadInfoDirect(BSTR bstrDataWebRoot, BSTR bstrSbkID, LONG lReadType,
                                          LONG lPriorPageNo, BSTR bstrKey, BSTR bstrSbkName) {
  if (!PageMayUse()) return E_ACCESSDENIED;
  return methods_.PassReadInfoDirect(Arg(bstrDataWebRoot), Arg(bstrSbkID), lReadType, lPriorPageNo,
                                     Arg(bstrKey), Arg(bstrSbkName));
}

STDMETHODIMP ReadInfo::PassEncryptURL(BSTR bstrEncryptURL) {
  return methods_.PassEncryptURL(Arg(bstrEncryptURL));
}

STDMETHODIMP ReadInfo::PassReadInfoDirectNew(BSTR bstrDataWebRoot, BSTR bstrSbkID, LONG lReadType,
                                             LONG lPriorPageNo, BSTR bstrKey, BSTR bstrSbkName,
                                             LONG lUserType) {
  if (!PageMayUse()) return E_ACCESSDENIED;
  return methods_.PassReadInfoDirectNew(Arg(bstrDataWebRoot), Arg(bstrSbkID), lReadType,
                                        lPriorPageNo, Arg(bstrKey), Arg(bstrSbkName), lUserType);
}

STDMETHODIMP ReadInfo::PassReadInfoDirectNew2(BSTR bstrDataWebRoot, BSTR bstrSbkID, LONG lReadType,
                                              LONG lPriorPageNo, BSTR bstrKey, BSTR bstrSbkName,
                                              LONG lUserType, BSTR bstrFeiPercent, BSTR bstrUserId,
                                              BSTR bstrReadPercent, BSTR bstrPathSbkID) {
  return methods_.PassReadInfoDirectNew2(
      Arg(bstrDataWebRoot), Arg(bstrSbkID), lReadType, lPriorPageNo, Arg(bstrKey), Arg(bstrSbkName),
      lUserType, Arg(bstrFeiPercent), Arg(bstrUserId), Arg(bstrReadPercent), Arg(bstrPathSbkID));
}

STDMETHODIMP ReadInfo::PassReadInfoDirectNew3(BSTR bstrDataWebRoot, BSTR bstrSbkID, LONG lReadType,
                                              LONG lPriorPageNo, BSTR bstrKey, BSTR bstrSbkName,
                                              LONG lUserType, LONG lDownDay) {
  if (!PageMayUse()) return E_ACCESSDENIED;
  return methods_.PassReadInfoDirectNew3(Arg(bstrDataWebRoot), Arg(bstrSbkID), lReadType,
                                         lPriorPageNo, Arg(bstrKey), Arg(bstrSbkName), lUserType,
                                         lDownDay);
}

STDMETHODIMP ReadInfo::get_GetLocalID(BSTR* pVal) {
  if (pVal == nullptr) return E_POINTER;
  *pVal = nullptr;
  if (!PageMayUse()) return E_ACCESSDENIED;
  const std::u16string id = methods_.GetLocalID();
  // A failed allocation leaves a null BSTR, which automation reads as "".
  *pVal = ::SysAllocStringLen(reinterpret_cast<const OLECHAR*>(id.data()),
                              static_cast<UINT>(id.size()));
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
  if (!PageMayUse()) return E_ACCESSDENIED;
  return safety_.Set(mask, enabled);
}

STDMETHODIMP ReadInfo::SetSite(IUnknown* site) {
  // Once a site was set the object is hosted: clearing the site leaves it locked.
  if (site != nullptr) {
    site->AddRef();
    siteWasSet_ = true;
  }
  *site_.Receive() = site;
  return S_OK;
}

STDMETHODIMP ReadInfo::GetSite(REFIID iid, void** site) {
  if (site == nullptr) return E_POINTER;
  *site = nullptr;
  if (!site_) return E_FAIL;
  return site_->QueryInterface(iid, site);
}

bool ReadInfo::PageMayUse() {
  if (!siteWasSet_) return true;
  if (!site_) return false;
  return platform::CatchAll(false, [&] {
    std::vector<std::u16string> addresses;
    AddContainerAddress(*site_.get(), addresses);
    AddBrowserAddress(*site_.get(), addresses);
    return IsAllowedPage(addresses, ReadAllowList(platform::LocalMachineRegistry()));
  });
}

}  // namespace launcher
