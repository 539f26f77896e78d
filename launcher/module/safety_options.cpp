#include "module/safety_options.h"

namespace pellwick::com {

HResult SafetyOptions::Set(uint32_t mask, uint32_t enabled) {
  if ((mask & ~kSupportedSafetyOptions) != 0) return kEFail;
  enabled_ = (enabled_ & ~mask) | (enabled & mask);
  return kSOk;
}

}  // namespace pellwick::com
