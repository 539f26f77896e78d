// ReadInfo, the control's one creatable class: IReadInfo (dual, dispatched through its type
// information), IObjectSafety, IObjectWithSite for the site lock, and aggregation by an outer
// object.
#pragma once

#include <objsafe.h>
#include <ocidl.h>

#include "module.h"
#include "module/com_rules.h"
#include "pellwick_idl.h"
#include "readinfo/read_info.h"

namespace launcher {

class ReadInfo final : public IReadInfo, public IObjectSafety, public IObjectWithSite {
 public:
  // Makes an object (aggregated when `outer` is given) and asks it for `iid`; the object is
  // destroyed again when that fails.
  static HRESULT Create(IUnknown* outer, REFIID iid, void** object);

  // IUnknown, passed to the outer object when aggregated.
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IDispatch
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                             DISPID* dispids) override;
  STDMETHODIMP Invoke(DISPID dispid, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* parameters,
                      VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override;

  // IReadInfo. On a page the site lock refuses, the launching members and GetLocalID return
  // E_ACCESSDENIED and start or read nothing.
  STDMETHODIMP PassReadInfoDirect(BSTR bstrDataWebRoot, BSTR bstrSbkID, LONG lReadType,
                                  LONG lPriorPageNo, BSTR bstrKey, BSTR bstrSbkName) override;
  STDMETHODIMP PassEncryptURL(BSTR bstrEncryptURL) override;
  STDMETHODIMP get_GetLocalID(BSTR* pVal) override;
  STDMETHODIMP PassReadInfoDirectNew(BSTR bstrDataWebRoot, BSTR bstrSbkID, LONG lReadType,
                                     LONG lPriorPageNo, BSTR bstrKey, BSTR bstrSbkName,
                                     LONG lUserType) override;
  STDMETHODIMP PassReadInfoDirectNew2(BSTR bstrDataWebRoot, BSTR bstrSbkID, LONG lReadType,
                                      LONG lPriorPageNo, BSTR bstrKey, BSTR bstrSbkName,
                                      LONG lUserType, BSTR bstrFeiPercent, BSTR bstrUserId,
                                      BSTR bstrReadPercent, BSTR bstrPathSbkID) override;
  STDMETHODIMP PassReadInfoDirectNew3(BSTR bstrDataWebRoot, BSTR bstrSbkID, LONG lReadType,
                                      LONG lPriorPageNo, BSTR bstrKey, BSTR bstrSbkName,
                                      LONG lUserType, LONG lDownDay) override;

  // IObjectSafety. Setting options is refused on a page the site lock refuses, so a browser
  // does not hand the object to that page's script.
  STDMETHODIMP GetInterfaceSafetyOptions(REFIID iid, DWORD* supported, DWORD* enabled) override;
  STDMETHODIMP SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled) override;

  // IObjectWithSite
  STDMETHODIMP SetSite(IUnknown* site) override;
  STDMETHODIMP GetSite(REFIID iid, void** site) override;

 private:
  // The object's own IUnknown: the only one that counts its references. An outer object
  // holds it; otherwise every interface passes its IUnknown calls here.
  class OwnUnknown final : public IUnknown {
   public:
    explicit OwnUnknown(ReadInfo& owner) : owner_(owner) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

   private:
    ReadInfo& owner_;
  };

  explicit ReadInfo(IUnknown* outer);
  ~ReadInfo();
  ReadInfo(const ReadInfo&) = delete;
  ReadInfo& operator=(const ReadInfo&) = delete;

  // The object's answer to QueryInterface for `iid`, without keeping the interface.
  HRESULT Ask(REFIID iid);
  // Whether the hosting page may use the control: always when no site was ever set (a local
  // script, a native program); otherwise only while the site names an allowed page.
  bool PageMayUse();

  OwnUnknown own_;
  IUnknown* controlling_;  // the outer object, or own_
  ULONG references_ = 0;
  com::SafetyOptions safety_;
  ComPtr<IUnknown> site_;
  bool siteWasSet_ = false;
  ReadInfoMethods methods_;
};

}  // namespace launcher
