// Pellwick.dll's entry point and its four exports.
#include <windows.h>
// Defines the GUIDs of the generated header, in this one file.
#include <initguid.h>

#include <new>

#include "module/class_factory.h"
#include "module/hresults.h"
#include "module/module_state.h"
#include "pellwick_idl.h"
#include "registration/self_registration.h"

namespace pellwick {

static_assert(com::kSOk == S_OK && com::kSFalse == S_FALSE && com::kEFail == E_FAIL &&
                  com::kEOutOfMemory == E_OUTOFMEMORY && com::kDispEException == DISP_E_EXCEPTION,
              "HRESULT values");

ModuleState& Module() {
  static ModuleState state;
  return state;
}

namespace {

ClassFactory* MakeClassObject() {
  ClassFactory* factory = new (std::nothrow) ClassFactory(Module().lock);
  if (factory != nullptr) factory->AddRef();  // the module's own reference
  return factory;
}

}  // namespace
}  // namespace pellwick

using pellwick::Module;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    Module().instance = instance;
    ::DisableThreadLibraryCalls(instance);
  } else if (reason == DLL_PROCESS_DETACH) {
    if (pellwick::ClassFactory* factory = Module().classObject.Take()) factory->Release();
    Module().termList.Run();
  }
  return TRUE;
}

STDAPI DllCanUnloadNow() { return Module().lock.CanUnloadNow(); }

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (!IsEqualCLSID(clsid, CLSID_ReadInfo)) return CLASS_E_CLASSNOTAVAILABLE;
  pellwick::ClassFactory* factory = Module().classObject.Get(pellwick::MakeClassObject);
  if (factory == nullptr) return E_OUTOFMEMORY;
  return factory->QueryInterface(iid, object);
}

STDAPI DllRegisterServer() { return pellwick::RegisterServer(Module().instance); }

STDAPI DllUnregisterServer() { return pellwick::UnregisterServer(Module().instance); }
