// The comparison of the version strings that decide whether an update is needed.
#pragma once

#include <cstdint>
#include <string_view>

namespace updater {

// Compares up to four numeric components, each read like strtol in base 10 and clamped to the
// 32-bit range, with one separator character skipped after each. Negative when a is older
// than b; positive otherwise (1 when all four components are equal).
int32_t CompareVersions(std::string_view a, std::string_view b);

}  // namespace updater
