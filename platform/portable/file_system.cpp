#include "platform/file_system.h"

namespace platform {

bool FileSystem::WriteWholeFile(const std::string& /*path*/, std::string_view /*data*/) {
  return false;
}

std::string PartialFileName(const std::string& path) { return path + ".partial"; }

}  // namespace platform
