// DllRegisterServer and DllUnregisterServer: the class's registry entries (read_info_entries.h)
// over HKEY_CLASSES_ROOT, then the type library.
#pragma once

#include <windows.h>

namespace launcher {

// The first failing step's HRESULT, otherwise the type library registration's.
HRESULT RegisterServer(HINSTANCE instance) noexcept;
// Always S_OK: whatever cannot be removed stays.
HRESULT UnregisterServer(HINSTANCE instance) noexcept;

}  // namespace launcher
