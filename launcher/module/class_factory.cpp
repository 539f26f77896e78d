#include "module/class_factory.h"

#include "module/read_info_object.h"

namespace pellwick {

ClassFactory::ClassFactory(com::ModuleLock& moduleLock)
    : moduleLock_(moduleLock), references_(moduleLock) {}

STDMETHODIMP ClassFactory::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IClassFactory) || IsEqualIID(iid, IID_IUnknown)) {
    *object = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) ClassFactory::AddRef() { return references_.AddRef(); }

STDMETHODIMP_(ULONG) ClassFactory::Release() {
  const ULONG count = references_.Release();
  if (count == 0) delete this;
  return count;
}

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  // An aggregating outer object must ask for the inner object's own IUnknown.
  if (outer != nullptr && !IsEqualIID(iid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
  return ReadInfo::Create(outer, iid, object);
}

STDMETHODIMP ClassFactory::LockServer(BOOL lock) {
  if (lock) {
    moduleLock_.Lock();
  } else {
    moduleLock_.Unlock();
  }
  return S_OK;
}

}  // namespace pellwick
