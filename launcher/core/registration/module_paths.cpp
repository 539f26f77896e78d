#include "registration/module_paths.h"

#include "platform/gbk.h"

namespace launcher {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/' || c == ':'; }

// The position just past the last separator that is a character of its own (0 when none).
std::size_t FileNameStart(std::string_view path) {
  std::size_t start = 0;
  for (std::size_t pos = 0; pos < path.size(); pos += platform::GbkCharLength(path, pos)) {
    if (IsSeparator(path[pos])) start = pos + 1;
  }
  return start;
}

}  // namespace

std::string ServerPath(std::string_view longPath, const char* shortPath, uint32_t shortLength,
                       std::size_t shortCapacity) {
  // A result of 0 is a failure, and one as large as the buffer is the size it would need.
  if (shortPath != nullptr && shortLength > 0 && shortLength < shortCapacity) {
    return std::string(shortPath, shortLength);
  }
  return std::string(longPath);
}

std::string TypeLibraryFilePath(std::string_view modulePath) {
  const std::size_t nameStart = FileNameStart(modulePath);
  std::size_t dot = std::string_view::npos;
  for (std::size_t pos = nameStart; pos < modulePath.size();
       pos += platform::GbkCharLength(modulePath, pos)) {
    if (modulePath[pos] == '.') dot = pos;
  }
  return std::string(modulePath.substr(0, dot)) + ".tlb";
}

std::string HelpDirectory(std::string_view path) {
  return std::string(path.substr(0, FileNameStart(path)));
}

}  // namespace launcher
