// Values of the reader's registry key under HKEY_CURRENT_USER.
#pragma once

#include <cstdint>
#include <string>

#include "platform/product.h"
#include "platform/registry.h"

namespace updater {

using platform::kReaderKey;
inline constexpr char kCurrentVersionValue[] = "Current Version";

// Reads a string value of at most 259 bytes. False, with `out` unchanged, when the key cannot
// be opened; otherwise true, and `out` is the value's text up to its first zero byte, or
// `defaultValue` when the value is missing, empty, unreadable or too long.
bool ReadRegistryString(platform::Registry& registry, const std::string& subKey,
                        const std::string& valueName, std::string& out,
                        const std::string& defaultValue);

// Reads a 4-byte value. `out` is the default unless the key opens and the value reads whole.
bool ReadRegistryDword(platform::Registry& registry, const std::string& subKey,
                       const std::string& valueName, uint32_t& out, uint32_t defaultValue);

// Stores a REG_DWORD, creating the key when needed. Failures are not reported.
void WriteRegistryDword(platform::Registry& registry, const std::string& subKey,
                        const std::string& valueName, uint32_t value);

// The installed reader's version ("Current Version"), empty when not recorded.
std::string ReadInstalledVersion(platform::Registry& registry);

}  // namespace updater
