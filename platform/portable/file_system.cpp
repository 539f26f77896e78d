#include "platform/file_system.h"

namespace platform {

bool FileSystem::WriteWholeFile(const std::string& /*path*/, const std::string& /*data*/) {
  return false;
}

std::string PartialFileName(const std::string& path) { return path + ".partial"; }

}  // namespace platform
