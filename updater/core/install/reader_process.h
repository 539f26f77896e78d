// Closing the running reader before its files are replaced.
#pragma once

#include <cstdint>

#include "log/run_log.h"
#include "platform/processes.h"
#include "platform/product.h"

namespace updater {

// The reader's executable name, matched whole, byte for byte, letter case significant.
inline constexpr const char* kReaderExeName = platform::kReaderExecutable;
inline constexpr uint32_t kReaderExitCode = 1;

// Terminates the first process in the list whose executable name is kReaderExeName, with exit
// code 1, and does not wait for it to be gone. Later entries are not looked at: at most one
// process is terminated. True when one matched and was terminated; the outcome is logged.
bool CloseRunningReader(platform::Processes& processes, RunLog& log);

}  // namespace updater
