// Ostrel's services over the benchmark's own folder, as the program makes them at its start.
#pragma once

#include "app/updater_app.h"
#include "settings/update_layout.h"

namespace bench {

// Never destroyed: a benchmark ends without waiting for the worker of a page it cancelled.
inline const ostrel::ProgramContext& RunningProgram() {
  static const ostrel::ProgramServices* const services =
      new ostrel::ProgramServices(ostrel::LayoutOfProgram().value());
  return services->context();
}

}  // namespace bench
