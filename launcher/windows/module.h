// What the parts of Pellwick.dll share: the module count that DllCanUnloadNow reads, the type
// information of IReadInfo with the member table built from it, and an owner for COM references.
#pragma once

#include <oaidl.h>

#include "module/com_rules.h"

namespace launcher {

// Owner of one COM interface reference: released when the owner goes.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { Reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;

  T* get() const { return pointer_; }
  T* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }
  // For out parameters: releases what is held and hands out the slot.
  T** Receive() {
    Reset();
    return &pointer_;
  }
  // For QueryInterface and the calls shaped like it.
  void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }
  // Gives up ownership without releasing.
  T* Detach() {
    T* pointer = pointer_;
    pointer_ = nullptr;
    return pointer;
  }
  void Reset() {
    if (pointer_ != nullptr) pointer_->Release();
    pointer_ = nullptr;
  }

 private:
  T* pointer_ = nullptr;
};

// Every live object, outside reference to the class object and server lock holds the module.
void LockModule();
void UnlockModule();

struct ReadInfoTypeInfo {
  ITypeInfo* info;
  com::MemberNameCache members;  // the members a script may call
};

// The type information of IReadInfo, loaded from the registered type library with the
// caller's locale on first use and kept until the DLL leaves the process; the loading error
// for as long as the library cannot be loaded.
HRESULT GetReadInfoTypeInfo(LCID lcid, const ReadInfoTypeInfo*& typeInfo);

}  // namespace launcher
