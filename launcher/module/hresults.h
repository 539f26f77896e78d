// The HRESULT values the COM server's portable parts return, so they build without the
// Windows headers. The Windows glue checks each against the SDK's definition.
#pragma once

#include <cstdint>

namespace pellwick::com {

using HResult = int32_t;

inline constexpr HResult kSOk = 0;
inline constexpr HResult kSFalse = 1;
inline constexpr HResult kEFail = static_cast<HResult>(0x80004005U);
inline constexpr HResult kEOutOfMemory = static_cast<HResult>(0x8007000EU);
inline constexpr HResult kDispEException = static_cast<HResult>(0x80020009U);

}  // namespace pellwick::com
