// A page's script engine as a browser hosts it: JScript run in process, whose objects can ask
// the browser for the page's address. Wine's JScript gives every object it creates a site that
// passes IServiceProvider::QueryService on to the engine's host; the host answers
// SID_SWebBrowserApp with a browser whose LocationURL is the page's address. Used by
// page_script_host and by the site tests.
#pragma once

#include <windows.h>
// The OLE headers need windows.h first.
#include <activscp.h>
#include <oleauto.h>
#include <servprov.h>
#include <shlguid.h>

#include <string>
#include <utility>
#include <vector>

namespace page_script {

// For COM objects that live on the stack or as members: their counts do not decide their
// lifetime.
#define STACK_OBJECT_COUNTS                            \
  STDMETHODIMP_(ULONG) AddRef() override { return 2; } \
  STDMETHODIMP_(ULONG) Release() override { return 1; }

// An IDispatch without type information, on the stack or a member; the object that derives
// from it answers names and calls.
class StackDispatch : public IDispatch {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    *object = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ? this : nullptr;
    return *object != nullptr ? S_OK : E_NOINTERFACE;
  }
  STACK_OBJECT_COUNTS
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
};

// The browser as a page's site offers it: only its LocationURL property is read.
class FakeBrowser final : public StackDispatch {
 public:
  static constexpr DISPID kLocationUrl = 211;  // IWebBrowser2's LocationURL

  explicit FakeBrowser(std::wstring location) : location_(std::move(location)) {}
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID dispid, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result,
                      EXCEPINFO*, UINT*) override {
    if (dispid != kLocationUrl || !(flags & DISPATCH_PROPERTYGET) || result == nullptr) {
      return DISP_E_MEMBERNOTFOUND;
    }
    result->vt = VT_BSTR;
    result->bstrVal = ::SysAllocString(location_.c_str());
    return S_OK;
  }
  // The browser's service, when it has a location to give.
  HRESULT QueryService(REFGUID service, REFIID iid, void** object) {
    *object = nullptr;
    if (location_.empty() || !IsEqualGUID(service, SID_SWebBrowserApp)) return E_NOINTERFACE;
    return QueryInterface(iid, object);
  }

 private:
  std::wstring location_;
};

// The script engine of a page at `location`: runs JScript text with the named items given to
// AddNamedItem visible to it, and keeps the error the last run ended with.
class ScriptPage final : public IActiveScriptSite, public IServiceProvider {
 public:
  explicit ScriptPage(std::wstring location) : browser_(std::move(location)) {}

  // Makes `item` a global object of the scripts run afterwards, under `name`. The caller keeps
  // `item` alive while scripts run.
  void AddNamedItem(std::wstring name, IDispatch* item) {
    items_.emplace_back(std::move(name), item);
  }

  // Runs `script`; the error code the script ended with, S_OK when none.
  HRESULT Run(const std::wstring& script) {
    error_ = S_OK;
    errorDescription_.clear();
    errorLine_ = 0;
    CLSID jscript = {};
    IActiveScript* engine = nullptr;
    IActiveScriptParse* parser = nullptr;
    HRESULT result = ::CLSIDFromProgID(L"JScript", &jscript);
    if (SUCCEEDED(result)) {
      result = ::CoCreateInstance(jscript, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveScript,
                                  reinterpret_cast<void**>(&engine));
    }
    if (SUCCEEDED(result)) {
      result =
          engine->QueryInterface(__uuidof(IActiveScriptParse), reinterpret_cast<void**>(&parser));
    }
    if (SUCCEEDED(result)) result = parser->InitNew();
    if (SUCCEEDED(result)) result = engine->SetScriptSite(this);
    for (const auto& item : items_) {
      if (SUCCEEDED(result))
        result = engine->AddNamedItem(item.first.c_str(), SCRIPTITEM_ISVISIBLE);
    }
    if (SUCCEEDED(result)) result = engine->SetScriptState(SCRIPTSTATE_STARTED);
    if (SUCCEEDED(result)) {
      result = parser->ParseScriptText(script.c_str(), nullptr, nullptr, nullptr, 0, 0,
                                       SCRIPTTEXT_ISVISIBLE, nullptr, nullptr);
    }
    if (parser != nullptr) parser->Release();
    if (engine != nullptr) {
      engine->Close();
      engine->Release();
    }
    return FAILED(error_) ? error_ : result;
  }

  // The description and the line (from 1; 0 when unknown) of the error the last run ended with.
  const std::wstring& ErrorDescription() const { return errorDescription_; }
  ULONG ErrorLine() const { return errorLine_; }

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IActiveScriptSite)) {
      *object = static_cast<IActiveScriptSite*>(this);
    } else {
      *object =
          IsEqualIID(iid, IID_IServiceProvider) ? static_cast<IServiceProvider*>(this) : nullptr;
    }
    return *object != nullptr ? S_OK : E_NOINTERFACE;
  }
  STACK_OBJECT_COUNTS
  STDMETHODIMP GetLCID(LCID* lcid) override {
    *lcid = LOCALE_USER_DEFAULT;
    return S_OK;
  }
  STDMETHODIMP GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** unknown,
                           ITypeInfo** typeInfo) override {
    if ((mask & SCRIPTINFO_IUNKNOWN) != 0 && unknown != nullptr) *unknown = nullptr;
    if ((mask & SCRIPTINFO_ITYPEINFO) != 0 && typeInfo != nullptr) *typeInfo = nullptr;
    for (const auto& item : items_) {
      if (item.first != name) continue;
      if ((mask & SCRIPTINFO_IUNKNOWN) != 0 && unknown != nullptr) {
        *unknown = item.second;
        item.second->AddRef();
      }
      return S_OK;
    }
    return TYPE_E_ELEMENTNOTFOUND;
  }
  STDMETHODIMP GetDocVersionString(BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override { return S_OK; }
  STDMETHODIMP OnStateChange(SCRIPTSTATE) override { return S_OK; }
  STDMETHODIMP OnScriptError(IActiveScriptError* error) override {
    EXCEPINFO exception = {};
    error->GetExceptionInfo(&exception);
    if (exception.pfnDeferredFillIn != nullptr) exception.pfnDeferredFillIn(&exception);
    error_ = exception.scode != S_OK ? exception.scode : E_FAIL;
    if (exception.bstrDescription != nullptr) errorDescription_ = exception.bstrDescription;
    DWORD context = 0;
    ULONG line = 0;
    LONG column = 0;
    if (SUCCEEDED(error->GetSourcePosition(&context, &line, &column))) errorLine_ = line + 1;
    ::SysFreeString(exception.bstrSource);
    ::SysFreeString(exception.bstrDescription);
    ::SysFreeString(exception.bstrHelpFile);
    return S_OK;
  }
  STDMETHODIMP OnEnterScript() override { return S_OK; }
  STDMETHODIMP OnLeaveScript() override { return S_OK; }
  STDMETHODIMP QueryService(REFGUID service, REFIID iid, void** object) override {
    return browser_.QueryService(service, iid, object);
  }

 private:
  FakeBrowser browser_;
  std::vector<std::pair<std::wstring, IDispatch*>> items_;
  HRESULT error_ = S_OK;
  std::wstring errorDescription_;
  ULONG errorLine_ = 0;
};

}  // namespace page_script
