// Pellwick.dll loaded the way COM loads it, without registration: its exports, the lock count
// that DllCanUnloadNow reports, the class object, aggregation, IObjectSafety and the members
// reached through the vtable. Each test loads the DLL afresh and unloads it again.
#include <windows.h>
// The OLE headers need windows.h first.
#include <gtest/gtest.h>
#include <objsafe.h>
#include <oleauto.h>

#include <string>

#include "pellwick_idl.h"

namespace {

// The GUIDs of the generated header, spelled out here so the DLL's own are what is tested.
const CLSID kClsidReadInfo = {
    0xa60848fe, 0x3f33, 0x46ca, {0xbd, 0x67, 0x22, 0x64, 0x92, 0xe1, 0xd9, 0xa3}};
const IID kIidReadInfo = {
    0x435f54e5, 0x01ac, 0x4a65, {0xa1, 0x04, 0xa7, 0xc4, 0x9b, 0xd2, 0x69, 0xa1}};
const GUID kLibid = {0xf7d428ef, 0x8049, 0x481b, {0xa5, 0x86, 0x88, 0x11, 0xf9, 0x1c, 0x66, 0xdf}};

void* const kSentinel = reinterpret_cast<void*>(static_cast<uintptr_t>(0xdeadbeef));

std::string DllPath() {
  char path[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, length);
  return folder.substr(0, folder.find_last_of('\\') + 1) + "Pellwick.dll";
}

// An aggregating object: answers IUnknown itself and, when `forward` is set, IReadInfo through
// the inner object; counts its own references.
class Outer final : public IUnknown {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (IsEqualIID(iid, IID_IUnknown)) {
      *object = static_cast<IUnknown*>(this);
      AddRef();
      return S_OK;
    }
    if (forward && inner != nullptr && IsEqualIID(iid, kIidReadInfo)) {
      return inner->QueryInterface(iid, object);
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
  STDMETHODIMP_(ULONG) Release() override { return --references; }

  ULONG references = 1;
  bool forward = true;
  IUnknown* inner = nullptr;
};

class PellwickDll : public ::testing::Test {
 protected:
  using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

  void SetUp() override {
    ::CoInitialize(nullptr);
    module_ = ::LoadLibraryA(DllPath().c_str());
    ASSERT_NE(module_, nullptr) << DllPath();
    canUnloadNow_ = reinterpret_cast<CanUnloadNow>(
        reinterpret_cast<void*>(::GetProcAddress(module_, "DllCanUnloadNow")));
    getClassObject_ = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(::GetProcAddress(module_, "DllGetClassObject")));
    ASSERT_NE(canUnloadNow_, nullptr);
    ASSERT_NE(getClassObject_, nullptr);
  }

  void TearDown() override {
    if (module_ != nullptr) ::FreeLibrary(module_);
    ::CoUninitialize();
  }

  IClassFactory* Factory() {
    IClassFactory* factory = nullptr;
    EXPECT_EQ(
        getClassObject_(kClsidReadInfo, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
        S_OK);
    return factory;
  }

  IReadInfo* NewObject() {
    IClassFactory* factory = Factory();
    if (factory == nullptr) return nullptr;
    IReadInfo* object = nullptr;
    EXPECT_EQ(factory->CreateInstance(nullptr, kIidReadInfo, reinterpret_cast<void**>(&object)),
              S_OK);
    factory->Release();
    return object;
  }

  HMODULE module_ = nullptr;
  CanUnloadNow canUnloadNow_ = nullptr;
  GetClassObject getClassObject_ = nullptr;
};

TEST_F(PellwickDll, ExportsTheFourFunctionsByName) {
  for (const char* name :
       {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer", "DllUnregisterServer"}) {
    EXPECT_NE(::GetProcAddress(module_, name), nullptr) << name;
  }
}

TEST_F(PellwickDll, UnloadsOnlyWhenNothingHoldsIt) {
  EXPECT_EQ(canUnloadNow_(), S_OK);
  IClassFactory* factory = Factory();
  ASSERT_NE(factory, nullptr);
  EXPECT_EQ(canUnloadNow_(), S_FALSE);  // the caller's reference is the class object's second
  IClassFactory* again = Factory();
  EXPECT_EQ(again, factory);
  again->Release();
  EXPECT_EQ(canUnloadNow_(), S_FALSE);
  factory->Release();
  EXPECT_EQ(canUnloadNow_(), S_OK);

  IReadInfo* object = NewObject();
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(canUnloadNow_(), S_FALSE);  // the object alone holds the module
  object->Release();
  EXPECT_EQ(canUnloadNow_(), S_OK);

  factory = Factory();
  ASSERT_NE(factory, nullptr);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  factory->Release();
  EXPECT_EQ(canUnloadNow_(), S_FALSE);
  factory = Factory();
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  factory->Release();
  EXPECT_EQ(canUnloadNow_(), S_OK);
}

TEST_F(PellwickDll, ClassObjectRequests) {
  struct Row {
    const char* what;
    CLSID clsid;
    IID iid;
    HRESULT result;
  };
  const Row rows[] = {
      {"IClassFactory", kClsidReadInfo, IID_IClassFactory, S_OK},
      {"IUnknown", kClsidReadInfo, IID_IUnknown, S_OK},
      {"another interface", kClsidReadInfo, IID_IDispatch, E_NOINTERFACE},
      {"another class", kIidReadInfo, IID_IClassFactory, CLASS_E_CLASSNOTAVAILABLE},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    void* object = kSentinel;
    EXPECT_EQ(getClassObject_(row.clsid, row.iid, &object), row.result);
    if (SUCCEEDED(row.result)) {
      ASSERT_NE(object, nullptr);
      static_cast<IUnknown*>(object)->Release();
    } else {
      EXPECT_EQ(object, nullptr);
    }
  }
  EXPECT_EQ(getClassObject_(kClsidReadInfo, IID_IClassFactory, nullptr), E_POINTER);
  EXPECT_EQ(canUnloadNow_(), S_OK);
}

TEST_F(PellwickDll, AggregationAsksForIUnknownAndDelegates) {
  IClassFactory* factory = Factory();
  ASSERT_NE(factory, nullptr);
  Outer outer;
  void* object = kSentinel;
  EXPECT_EQ(factory->CreateInstance(&outer, kIidReadInfo, &object), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(factory->CreateInstance(nullptr, kIidReadInfo, nullptr), E_POINTER);

  IUnknown* inner = nullptr;
  ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)), S_OK);
  factory->Release();
  outer.inner = inner;
  EXPECT_EQ(outer.references, 1u);  // the inner object's creation holds no outer reference

  IReadInfo* readInfo = nullptr;
  ASSERT_EQ(inner->QueryInterface(kIidReadInfo, reinterpret_cast<void**>(&readInfo)), S_OK);
  EXPECT_EQ(outer.references, 2u);  // interfaces count on the outer object
  readInfo->AddRef();
  EXPECT_EQ(outer.references, 3u);
  readInfo->Release();

  IUnknown* identity = nullptr;
  ASSERT_EQ(readInfo->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
  EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));
  identity->Release();

  // The outer object does not know IObjectSafety; the inner one still answers for it.
  IObjectSafety* safety = nullptr;
  ASSERT_EQ(readInfo->QueryInterface(IID_IObjectSafety, reinterpret_cast<void**>(&safety)), S_OK);
  safety->Release();
  readInfo->Release();
  EXPECT_EQ(outer.references, 1u);

  EXPECT_EQ(canUnloadNow_(), S_FALSE);
  EXPECT_EQ(inner->Release(), 0u);
  EXPECT_EQ(canUnloadNow_(), S_OK);
}

TEST_F(PellwickDll, QueryInterfaceAnswersItsFourInterfaces) {
  IReadInfo* object = NewObject();
  ASSERT_NE(object, nullptr);
  IUnknown* identity = nullptr;
  ASSERT_EQ(object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
  for (const IID& iid : {IID_IDispatch, kIidReadInfo, IID_IObjectSafety, IID_IUnknown}) {
    IUnknown* answer = nullptr;
    ASSERT_EQ(identity->QueryInterface(iid, reinterpret_cast<void**>(&answer)), S_OK);
    IUnknown* again = nullptr;
    ASSERT_EQ(answer->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&again)), S_OK);
    EXPECT_EQ(again, identity);
    again->Release();
    answer->Release();
  }
  IDispatch* dispatch = nullptr;
  ASSERT_EQ(object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
  EXPECT_EQ(static_cast<void*>(dispatch), static_cast<void*>(object));
  dispatch->Release();
  void* none = kSentinel;
  EXPECT_EQ(object->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(object->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
  identity->Release();
  EXPECT_EQ(object->Release(), 0u);
  EXPECT_EQ(canUnloadNow_(), S_OK);
}

TEST_F(PellwickDll, SafetyOptionsAreRecordedAndTheModuleStillUnloads) {
  IReadInfo* object = NewObject();
  ASSERT_NE(object, nullptr);
  IObjectSafety* safety = nullptr;
  ASSERT_EQ(object->QueryInterface(IID_IObjectSafety, reinterpret_cast<void**>(&safety)), S_OK);
  DWORD supported = 0xdeadbeef;
  DWORD enabled = 0xdeadbeef;
  auto expectOptions = [&](DWORD wantedEnabled) {
    supported = enabled = 0xdeadbeef;
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
    EXPECT_EQ(supported, 3u);
    EXPECT_EQ(enabled, wantedEnabled);
  };
  expectOptions(0);
  EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 1, 1), S_OK);
  expectOptions(1);
  EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 4, 4), E_FAIL);
  expectOptions(1);
  EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 1, 0), S_OK);
  expectOptions(0);

  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IClassFactory, &supported, &enabled),
            E_NOINTERFACE);
  EXPECT_EQ(supported, 0u);
  EXPECT_EQ(enabled, 0u);
  EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IClassFactory, 1, 1), E_NOINTERFACE);
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, nullptr, &enabled), E_POINTER);
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, nullptr), E_POINTER);

  safety->Release();
  // Every question above queried the object; none may keep a reference.
  EXPECT_EQ(object->Release(), 0u);
  EXPECT_EQ(canUnloadNow_(), S_OK);
}

TEST_F(PellwickDll, GetLocalIdGivesANewStringEachTime) {
  IReadInfo* object = NewObject();
  ASSERT_NE(object, nullptr);
  BSTR first = static_cast<BSTR>(kSentinel);
  BSTR second = nullptr;
  ASSERT_EQ(object->get_GetLocalID(&first), S_OK);
  ASSERT_EQ(object->get_GetLocalID(&second), S_OK);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);
  EXPECT_EQ(std::wstring(first, ::SysStringLen(first)),
            std::wstring(second, ::SysStringLen(second)));
  EXPECT_EQ(::SysStringLen(first), 0u);  // no drive answers under Wine
  ::SysFreeString(first);
  ::SysFreeString(second);
  EXPECT_EQ(object->get_GetLocalID(nullptr), E_POINTER);
  object->Release();
}

TEST_F(PellwickDll, MembersThatStartNothing) {
  IReadInfo* object = NewObject();
  ASSERT_NE(object, nullptr);
  BSTR root = ::SysAllocString(L"root");
  EXPECT_EQ(object->PassEncryptURL(nullptr), S_OK);
  EXPECT_EQ(object->PassReadInfoDirectNew2(nullptr, nullptr, 0, 0, nullptr, nullptr, 0, nullptr,
                                           nullptr, nullptr, nullptr),
            S_OK);
  // A null id is refused before anything else happens.
  EXPECT_EQ(object->PassReadInfoDirect(root, nullptr, 2, 15, nullptr, nullptr), S_FALSE);
  EXPECT_EQ(object->PassReadInfoDirectNew(nullptr, root, 2, 15, nullptr, nullptr, 3), S_FALSE);
  EXPECT_EQ(object->PassReadInfoDirectNew3(root, nullptr, 2, 15, nullptr, nullptr, 3, -1), S_FALSE);
  ::SysFreeString(root);
  object->Release();
}

TEST_F(PellwickDll, DispatchNeedsTheRegisteredTypeLibrary) {
  ITypeLib* registered = nullptr;
  const HRESULT loadError = ::LoadRegTypeLib(kLibid, 1, 0, 0, &registered);
  if (SUCCEEDED(loadError)) {
    registered->Release();
    GTEST_SKIP() << "the type library is registered in this prefix";
  }
  IReadInfo* object = NewObject();
  ASSERT_NE(object, nullptr);
  UINT count = 0;
  EXPECT_EQ(object->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(object->GetTypeInfoCount(nullptr), E_POINTER);
  ITypeInfo* info = static_cast<ITypeInfo*>(kSentinel);
  EXPECT_EQ(object->GetTypeInfo(1, 0, &info), DISP_E_BADINDEX);
  EXPECT_EQ(object->GetTypeInfo(0, 0, &info), loadError);
  EXPECT_EQ(info, nullptr);
  OLECHAR name[] = L"GetLocalID";
  LPOLESTR names[] = {name};
  DISPID dispid = 0;
  EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, 0, &dispid), loadError);
  // The vtable works all the same.
  BSTR id = nullptr;
  EXPECT_EQ(object->get_GetLocalID(&id), S_OK);
  ::SysFreeString(id);
  object->Release();
}

}  // namespace
