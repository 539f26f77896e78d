#include "platform/ole_date_clock.h"

#include <ctime>

namespace platform {
namespace {

constexpr double kSecondsPerDay = 86400.0;
constexpr double kUnixEpochInOleDays = 25569.0;  // 1 January 1970 counted from 30 December 1899

class SystemClock final : public OleDateClock {
 public:
  double NowAsOleDate() override {
    return kUnixEpochInOleDays + static_cast<double>(std::time(nullptr)) / kSecondsPerDay;
  }
};

}  // namespace

OleDateClock& SystemOleDateClock() {
  static SystemClock clock;
  return clock;
}

}  // namespace platform
