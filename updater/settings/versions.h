// The two version strings that decide whether an update is needed, and their comparison.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "platform/profile_store.h"

namespace ostrel {

// main/version of the program folder's update\update.ini (at most 127 bytes), empty when
// the file, section or key is missing.
std::string ReadManifestVersion(platform::FileSystem& files, platform::ProfileStore& profiles);

// Compares up to four numeric components, each read like strtol in base 10 and clamped to the
// 32-bit range, with one separator character skipped after each. Negative when a is older
// than b; positive otherwise (1 when all four components are equal).
int32_t CompareVersions(std::string_view a, std::string_view b);

}  // namespace ostrel
