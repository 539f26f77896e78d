// A progress sink that shows nothing, for timing the fetch loop's own cost.
#pragma once

#include <cstdint>
#include <string>

#include "net/http_fetcher.h"

namespace bench {

struct QuietSink final : ostrel::ProgressSink {
  void SetRange(int32_t) override {}
  void SetPosition(int32_t) override {}
  void SetStatusText(const std::string&) override {}
};

}  // namespace bench
