// The class object of ReadInfo.
#pragma once

#include <unknwn.h>

#include "module/lock_count.h"

namespace pellwick {

class ClassFactory final : public IClassFactory {
 public:
  explicit ClassFactory(com::ModuleLock& moduleLock);

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
  STDMETHODIMP LockServer(BOOL lock) override;

 private:
  ~ClassFactory() = default;

  com::ModuleLock& moduleLock_;
  com::ClassObjectReferences references_;
};

}  // namespace pellwick
