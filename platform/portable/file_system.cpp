#include "platform/file_system.h"

namespace platform {

bool FileSystem::WriteWholeFile(const std::string& /*path*/, std::string_view /*data*/) {
  return false;
}

bool FileSystem::ReadFileInPieces(const std::string& /*path*/,
                                  const std::function<bool(std::string_view)>& /*consume*/) {
  return false;
}

std::optional<std::string> ReadWholeFile(FileSystem& files, const std::string& path) {
  std::string content;
  if (!files.ReadFileInPieces(path, [&content](std::string_view piece) {
        content.append(piece);
        return true;
      })) {
    return std::nullopt;
  }
  return content;
}

std::string PartialFileName(const std::string& path) { return path + ".partial"; }

}  // namespace platform
