// Wall-clock time as a day count with whole-second resolution, the way OLE dates count it
// (days since 30 December 1899 as a double).
#pragma once

namespace platform {

class DayClock {
 public:
  virtual ~DayClock() = default;
  virtual double NowInDays() = 0;
};

DayClock& SystemDayClock();

}  // namespace platform
