// Finding the installed reader's executable from the registry.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "platform/file_system.h"
#include "platform/product.h"
#include "platform/registry.h"

namespace launcher {

// Below HKEY_CURRENT_USER; the key's default value is the reader's installation folder.
using platform::kReaderExecutable;
using platform::kReaderKey;
// The registry value is read into, and the executable's path must fit, this many bytes with
// the terminating zero.
inline constexpr std::size_t kReaderPathSize = 260;

// The full path of the reader's executable: the folder from the registry (one trailing
// backslash taken off) joined with "\Tavrel.exe", when both the folder and that path exist.
// Nothing when the key or value is missing, the value fills the whole buffer without a
// terminator, the path would not fit 259 bytes, or either path does not exist.
std::optional<std::string> LocateReader(platform::Registry& registry, platform::FileSystem& files);

}  // namespace launcher
