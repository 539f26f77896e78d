#include "host_path.h"

#include <dirent.h>
#include <sys/stat.h>

#include <memory>

#include "platform/gbk.h"

namespace platform {
namespace {

bool EntryExists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

// The name of an entry of `folder` equal to `name` but for ASCII letter case, or `name`.
std::string MatchEntry(const std::string& folder, const std::string& name) {
  if (name == "." || name == ".." || EntryExists(folder + name)) return name;
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.empty() ? "." : folder.c_str()),
                                                ::closedir);
  if (!dir) return name;
  while (const dirent* entry = ::readdir(dir.get())) {
    if (EqualsIgnoringAsciiCase(entry->d_name, name)) return entry->d_name;
  }
  return name;
}

}  // namespace

std::string ToHostPath(const std::string& windowsPath) {
  std::string host;
  std::string component;
  for (std::size_t pos = 0; pos <= windowsPath.size();) {
    const bool atEnd = pos == windowsPath.size();
    const std::size_t length = atEnd ? 1 : GbkCharLength(windowsPath, pos);
    const bool separator =
        !atEnd && length == 1 && (windowsPath[pos] == '\\' || windowsPath[pos] == '/');
    if (atEnd || separator) {
      if (!component.empty()) host += MatchEntry(host, component);
      if (separator) host += '/';
      component.clear();
    } else {
      component.append(windowsPath, pos, length);
    }
    pos += length;
  }
  return host;
}

std::string FromHostPath(const std::string& hostPath) {
  std::string windows = hostPath;
  for (char& c : windows) {
    if (c == '/') c = '\\';
  }
  return windows;
}

}  // namespace platform
