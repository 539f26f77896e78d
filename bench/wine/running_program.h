// Ostrel's services over the benchmark's own folder, as the program makes them at its start.
#pragma once

#include "app/updater_app.h"
#include "layout/update_layout.h"

namespace bench {

// Never destroyed: a benchmark ends without waiting for the worker of a page it cancelled.
inline const updater::ProgramContext& RunningProgram() {
  static const updater::ProgramServices* const services =
      new updater::ProgramServices(updater::LayoutOfProgram().value(),
                                   /*requireSignedUpdates=*/false);
  return services->context();
}

}  // namespace bench
