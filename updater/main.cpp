// Ostrel's entry point. Command-line arguments are not read.
#include <windows.h>

#include "app/updater_app.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  updater::UpdaterApp app;
  app.Run(OSTREL_REQUIRE_SIGNED_UPDATES != 0);
  return 0;
}
