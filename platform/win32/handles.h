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
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
  }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

// Search handles of FindFirstFileA; INVALID_HANDLE_VALUE when the search found nothing.
struct FindCloser {
  void operator()(HANDLE handle) const {
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) ::FindClose(handle);
  }
};
using UniqueFindHandle = std::unique_ptr<void, FindCloser>;

// WinInet handles (HINTERNET); include <wininet.h> before this header to use it.
#ifdef _WININET_
struct HinternetCloser {
  void operator()(HINTERNET handle) const { ::InternetCloseHandle(handle); }
};
using UniqueHinternet = std::unique_ptr<void, HinternetCloser>;
#endif

}  // namespace platform::win32
