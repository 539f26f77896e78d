#include "readinfo/reader_locator.h"

#include "platform/gbk.h"

namespace launcher {
namespace {

// The folder text of the default value, or nothing when it cannot be a whole folder name.
std::optional<std::string> ReadReaderFolder(platform::Registry& registry) {
  const std::unique_ptr<platform::RegistryKey> key = registry.OpenKey(kReaderKey);
  if (!key) return std::nullopt;
  platform::RegistryValue value;
  // The type is not examined and nothing is expanded: whatever bytes are stored are the path.
  if (key->QueryValue("", kReaderPathSize, value) != platform::QueryStatus::kOk) {
    return std::nullopt;
  }
  const std::size_t end = value.data.find('\0');
  if (end == std::string::npos) {
    // Without a terminator a value that fills the buffer may be the head of a longer name.
    if (value.data.size() >= kReaderPathSize) return std::nullopt;
    return value.data;
  }
  return value.data.substr(0, end);
}

}  // namespace

std::optional<std::string> LocateReader(platform::Registry& registry, platform::FileSystem& files) {
  std::optional<std::string> folder = ReadReaderFolder(registry);
  if (!folder) return std::nullopt;
  // One separator only: a value ending in two backslashes keeps one.
  if (platform::EndsWithBackslash(*folder)) folder->pop_back();
  if (folder->empty() || !files.Exists(*folder)) return std::nullopt;
  std::string path = *folder + "\\" + kReaderExecutable;
  if (path.size() >= kReaderPathSize) return std::nullopt;
  // Only existence is tested, as for the folder: a directory of that name passes too.
  if (!files.Exists(path)) return std::nullopt;
  return path;
}

}  // namespace launcher
