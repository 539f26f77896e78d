// The HRESULT values the COM server's portable parts return, so they build without the
// Windows headers. The Windows glue checks each against the SDK's definition.
#pragma once

#include <cstdint>

namespace pellwick::com {

using HResult = int32_t;

inline constexpr HResult kSOk = 0;
inline constexpr HResult kSFalse = 1;
inline constexpr HResult kENotImpl = static_cast<HResult>(0x80004001U);
inline constexpr HResult kENoInterface = static_cast<HResult>(0x80004002U);
inline constexpr HResult kEPointer = static_cast<HResult>(0x80004003U);
inline constexpr HResult kEFail = static_cast<HResult>(0x80004005U);
inline constexpr HResult kEOutOfMemory = static_cast<HResult>(0x8007000EU);
inline constexpr HResult kEInvalidArg = static_cast<HResult>(0x80070057U);
inline constexpr HResult kDispEUnknownName = static_cast<HResult>(0x80020006U);
inline constexpr HResult kDispEException = static_cast<HResult>(0x80020009U);
inline constexpr HResult kDispEBadIndex = static_cast<HResult>(0x8002000BU);
inline constexpr HResult kDispEBadParamCount = static_cast<HResult>(0x8002000EU);
inline constexpr HResult kClassENoAggregation = static_cast<HResult>(0x80040110U);
inline constexpr HResult kClassEClassNotAvailable = static_cast<HResult>(0x80040111U);

}  // namespace pellwick::com
