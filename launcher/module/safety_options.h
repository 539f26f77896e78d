// The scripting-safety options of one object (IObjectSafety): recorded and reported only.
#pragma once

#include <cstdint>

#include "module/hresults.h"

namespace pellwick::com {

// INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA
inline constexpr uint32_t kSupportedSafetyOptions = 0x3;

class SafetyOptions {
 public:
  uint32_t enabled() const { return enabled_; }
  // The options under `mask` take their values from `enabled`, the others keep theirs.
  // E_FAIL, changing nothing, when the mask holds an option that is not supported.
  HResult Set(uint32_t mask, uint32_t enabled);

 private:
  uint32_t enabled_ = 0;
};

}  // namespace pellwick::com
