// The program folder, paths below it, and the folder tests Ostrel relies on.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "platform/processes.h"

namespace updater {

// Names of files Ostrel keeps; their paths are in the UpdateLayout (settings/update_layout.h).
// The log and its older part, in the update folder (see log/run_log.h).
inline constexpr char kLogName[] = "ostrel.log";
inline constexpr char kOlderLogName[] = "ostrel.log.1";
// Whether a name in update\ is the log or its older part (ASCII letters folded).
bool IsLogFileName(std::string_view name);
// The mark of the signed versions accepted (trust/signed_mark.h), in the program folder itself;
// no manifest entry may name it.
inline constexpr char kSignedMarkName[] = "ostrel-signed-version.txt";

// The folder of the program file `programFile` (the running program's unless given) with its
// trailing backslash; nullopt when the name has no backslash or is longer than the 259 bytes a
// Windows path may have. No path may be made without a known folder: below an empty one it
// would name the root of the current drive.
std::optional<std::string> ProgramFolder(
    const std::string& programFile = platform::ProgramFileName());

// Ends the path in exactly one backslash of its own (a GBK trail byte 0x5C does not count).
void AppendBackslash(std::string& path);

// True when the folder was created or a file or folder of that name exists already.
bool EnsureDirectory(platform::FileSystem& files, const std::string& folder);

bool FileExists(platform::FileSystem& files, const std::string& path);

// The extension of the last path component from its last dot, dot included; "" without one.
std::string GetFileExtension(const std::string& path);

}  // namespace updater
