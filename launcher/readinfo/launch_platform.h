// What a reader launch needs of the platform: the current user's registry (the default value
// of the reader's key), the file system (does a path exist), the shell (start the reader with
// its command line) and message boxes (tell the user that the reader is missing).
#pragma once

#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/shell.h"

namespace pellwick {

struct LaunchPlatform {
  platform::Registry& registry;
  platform::FileSystem& files;
  platform::Shell& shell;
  platform::MessageBoxes& messageBoxes;
};

}  // namespace pellwick
