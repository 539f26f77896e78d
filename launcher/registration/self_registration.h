// DllRegisterServer and DllUnregisterServer: the registration script of the DLL's resources
// over HKEY_CLASSES_ROOT, then the type library.
#pragma once

#include <windows.h>

namespace pellwick {

// The resources that registration reads.
inline constexpr int kTypeLibraryResource = 1;
inline constexpr int kRegistrationScriptResource = 101;

// The first failing step's HRESULT, otherwise the type library registration's.
HRESULT RegisterServer(HINSTANCE instance) noexcept;
// Always S_OK: whatever cannot be removed stays.
HRESULT UnregisterServer(HINSTANCE instance) noexcept;

}  // namespace pellwick
