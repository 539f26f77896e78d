// Sinks that show and keep nothing, for timing the fetch loop's own cost.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "net/http_fetcher.h"

namespace bench {

struct QuietSink final : updater::ProgressSink {
  void SetRange(int32_t) override {}
  void SetPosition(int32_t) override {}
  void SetStatusText(const std::string&) override {}
};

// Counts the body and drops it: no memory grows with it.
struct DiscardedBody final : updater::BodySink {
  bool Begin(uint64_t, const std::string&) override { return true; }
  bool Add(std::string_view bytes) override {
    size += bytes.size();
    return true;
  }
  uint64_t size = 0;
};

}  // namespace bench
