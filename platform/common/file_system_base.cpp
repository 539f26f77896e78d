#include "platform/file_system.h"
#include "platform/gbk.h"

namespace platform {

bool FileSystem::AppendToFile(const std::string& /*path*/, std::string_view /*data*/) {
  return false;
}

std::optional<uint64_t> FileSystem::FileSize(const std::string& /*path*/) { return std::nullopt; }

std::unique_ptr<FileWriter> FileSystem::OpenForWriting(const std::string& /*path*/,
                                                       bool /*atEnd*/) {
  return nullptr;
}

bool FileSystem::RemoveFile(const std::string& /*path*/) { return false; }

bool FileSystem::RenameReplacing(const std::string& /*from*/, const std::string& /*to*/) {
  return false;
}

uint32_t FileSystem::LastError() { return 0; }

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

std::string_view TrimTrailingDotsAndBlanks(std::string_view name) {
  // Dots and blanks are below 0x40: never a GBK trail byte, so the end can be trimmed as bytes.
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.remove_suffix(1);
  return name;
}

bool IsPartialFileName(std::string_view name) {
  name = TrimTrailingDotsAndBlanks(name);
  // Compared as bytes, the way PartialFileName appends the suffix: a name whose last bytes
  // are the suffix is a temporary name, whatever comes before.
  constexpr std::string_view kSuffix = ".partial";
  return name.size() >= kSuffix.size() &&
         EqualsIgnoringAsciiCase(name.substr(name.size() - kSuffix.size()), kSuffix);
}

}  // namespace platform
