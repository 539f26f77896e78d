// One owner type per Windows handle kind, so no logic closes a handle by hand.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace platform::win32 {

struct HkeyCloser {
  void operator()(HKEY key) const { ::RegCloseKey(key); }
};
using UniqueHkey = std::unique_ptr<std::remove_pointer_t<HKEY>, HkeyCloser>;

struct HandleCloser {
  void operator()(HANDLE handle) const {
    if (handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
  }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

// Search handles of FindFirstFileA.
struct FindCloser {
  void operator()(HANDLE handle) const {
    if (handle != INVALID_HANDLE_VALUE) ::FindClose(handle);
  }
};
using UniqueFindHandle = std::unique_ptr<void, FindCloser>;

// CreateFile, CreateToolhelp32Snapshot and FindFirstFile fail with INVALID_HANDLE_VALUE, not
// null. Owned through these, that value is held as empty: `if (!handle)` tests every owner
// alike, and nothing closes it.
inline UniqueHandle OwnFileHandle(HANDLE handle) {
  return UniqueHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}
inline UniqueFindHandle OwnSearchHandle(HANDLE handle) {
  return UniqueFindHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

// WinInet handles (HINTERNET); include <wininet.h> before this header to use it.
#ifdef _WININET_
struct HinternetCloser {
  void operator()(HINTERNET handle) const { ::InternetCloseHandle(handle); }
};
using UniqueHinternet = std::unique_ptr<void, HinternetCloser>;
#endif

}  // namespace platform::win32
