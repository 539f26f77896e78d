// What the Windows benchmarks share: the clock and the bare WinInet loop they measure against.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The floor the pages are measured against: WinInet on its own, synchronous, one session for
// all the resources, each read into one block in reads of 64 KiB, with no progress, no window
// and nothing stored. False when any step fails.
inline bool BareLoop(const std::vector<std::string>& urls) {
  HINTERNET session = InternetOpenA("Ostrel", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (session == nullptr) return false;
  bool ok = true;
  for (const std::string& url : urls) {
    HINTERNET request = InternetOpenUrlA(
        session, url.c_str(), nullptr, 0,
        INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE, 1);
    ok = request != nullptr;
    if (!ok) break;
    char text[32] = {};
    DWORD size = sizeof text - 1;
    ok = HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr) != FALSE;
    std::vector<char> block(ok ? std::strtoull(text, nullptr, 10) : 0);
    for (std::size_t received = 0; ok && received < block.size();) {
      DWORD copied = 0;
      const DWORD wanted =
          static_cast<DWORD>(std::min<std::size_t>(65536, block.size() - received));
      ok = InternetReadFile(request, block.data() + received, wanted, &copied) && copied > 0;
      received += copied;
    }
    InternetCloseHandle(request);
    if (!ok) break;
  }
  InternetCloseHandle(session);
  return ok;
}

}  // namespace bench
