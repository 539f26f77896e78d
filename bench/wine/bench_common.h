// What the Windows benchmarks share: the clock and the bare WinInet loop they measure against.
#pragma once

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "platform/internet.h"

namespace bench {

using Clock = std::chrono::steady_clock;

inline double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Resources through one WinInet session in reads of 64 KiB into one block each, with no
// progress, no window and nothing stored: the floor for the pages under Wine. False when any
// step fails.
inline bool BareLoop(const std::vector<std::string>& urls) {
  const auto session = platform::WinInetClient("Ostrel").OpenSession();
  if (!session) return false;
  for (const std::string& url : urls) {
    const auto resource = session->OpenUrl(url);
    if (!resource) return false;
    const std::optional<int64_t> length = resource->ContentLength();
    if (!length) return false;
    std::vector<char> block(static_cast<std::size_t>(*length));
    std::size_t received = 0;
    while (received < block.size()) {
      const auto copied = resource->Read(block.data() + received,
                                         std::min<std::size_t>(65536, block.size() - received));
      if (!copied || *copied == 0) return false;
      received += *copied;
    }
  }
  return true;
}

}  // namespace bench
