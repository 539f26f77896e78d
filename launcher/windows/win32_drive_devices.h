// The drive query's services on Windows (win32_drive_devices.cpp).
#pragma once

#include <memory>

#include "identity/drive_devices.h"

namespace launcher {

// The system's devices. `errorBox` replaces the system's message box when given (tests must
// never block on a box). Returns null only when out of memory.
std::unique_ptr<DriveDevices> SystemDriveDevices(ErrorBox errorBox = nullptr);

}  // namespace launcher
