// Maps a Windows-style path onto the host's file system: backslashes become slashes and each
// component matches an existing entry without regard to ASCII letter case, as the Windows file
// system does (so "Update\" and "update\" name one folder).
#pragma once

#include <string>

namespace platform {

std::string ToHostPath(const std::string& windowsPath);

// The host path written back with backslashes (for the program's own file name).
std::string FromHostPath(const std::string& hostPath);

}  // namespace platform
