// Wall-clock time as a day count with whole-second resolution, the way OLE dates count it
// (days since 30 December 1899 as a double).
#pragma once

namespace platform {

class OleDateClock {
 public:
  virtual ~OleDateClock() = default;
  virtual double NowAsOleDate() = 0;
};

OleDateClock& SystemOleDateClock();

}  // namespace platform
