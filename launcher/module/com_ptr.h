// Owner of one COM interface reference: released when the owner goes.
#pragma once

#include <unknwn.h>

namespace pellwick::com {

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { Reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;

  T* get() const { return pointer_; }
  T* operator->() const { return pointer_; }
  // For out parameters: releases what is held and hands out the slot.
  T** Receive() {
    Reset();
    return &pointer_;
  }
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

}  // namespace pellwick::com
