// The program folder, paths below it, and the folder tests Ostrel relies on.
#pragma once

#include <string>

#include "platform/file_system.h"

namespace ostrel {

// Paths below the program folder (which is written with its trailing backslash first).
inline constexpr char kUpdateFolder[] = "update";
inline constexpr char kManifestRelativePath[] = "update\\update.ini";
inline constexpr char kRecordRelativePath[] = "update\\updateok.ini";
// The log and its older part, in the update folder (see log/run_log.h).
inline constexpr char kLogName[] = "ostrel.log";
inline constexpr char kOlderLogName[] = "ostrel.log.1";

// The folder of the running executable without a trailing backslash; empty when the name has
// no backslash or was too long for 259 bytes (a cut name would name some other folder).
std::string GetProgramFolder(platform::FileSystem& files);

// Ends the path in exactly one backslash of its own (a GBK trail byte 0x5C does not count).
void AppendBackslash(std::string& path);

// True when the folder was created or a file or folder of that name exists already.
bool EnsureDirectory(platform::FileSystem& files, const std::string& folder);

bool FileExists(platform::FileSystem& files, const std::string& path);

// The extension of the last path component from its last dot, dot included; "" without one.
std::string GetFileExtension(const std::string& path);

}  // namespace ostrel
