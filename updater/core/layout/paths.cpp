#include "paths.h"

#include "platform/gbk.h"

namespace updater {

namespace {
constexpr std::size_t kMaxPath = 260;
}  // namespace

std::optional<std::string> ProgramFolder(const std::string& programFile) {
  if (programFile.size() >= kMaxPath) return std::nullopt;
  const std::size_t slash = platform::FindLastBackslash(programFile);
  if (slash == std::string::npos) return std::nullopt;
  return programFile.substr(0, slash + 1);
}

void AppendBackslash(std::string& path) {
  if (!platform::EndsWithBackslash(path)) path += '\\';
}

bool EnsureDirectory(platform::FileSystem& files, const std::string& folder) {
  return files.CreateFolder(folder) != platform::CreateFolderResult::kFailed;
}

bool FileExists(platform::FileSystem& files, const std::string& path) { return files.Exists(path); }

std::string GetFileExtension(const std::string& path) {
  std::size_t componentStart = 0;
  if (path.size() >= 2 && path[1] == ':') componentStart = 2;  // a drive letter
  std::size_t lastDot = std::string::npos;
  for (std::size_t pos = componentStart; pos < path.size();
       pos += platform::GbkCharLength(path, pos)) {
    if (path[pos] == '\\' || path[pos] == '/') {
      lastDot = std::string::npos;
    } else if (path[pos] == '.') {
      lastDot = pos;
    }
  }
  return lastDot == std::string::npos ? std::string() : path.substr(lastDot);
}

bool IsLogFileName(std::string_view name) {
  return platform::EqualsIgnoringAsciiCase(name, kLogName) ||
         platform::EqualsIgnoringAsciiCase(name, kOlderLogName);
}

}  // namespace updater
