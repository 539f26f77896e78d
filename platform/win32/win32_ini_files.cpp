#include <windows.h>

#include <algorithm>
#include <vector>

#include "common/profile_text.h"
#include "platform/ini_files.h"

namespace platform {
namespace {

class Win32IniFiles final : public IniFiles {
 public:
  std::string ReadString(const std::string& file, const std::string& section,
                         const std::string& key, const std::string& defaultValue,
                         std::size_t bufferSize) override {
    if (bufferSize == 0) return std::string();
    std::vector<char> buffer(bufferSize, '\0');
    const DWORD length =
        ::GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultValue.c_str(),
                                   buffer.data(), static_cast<DWORD>(bufferSize), file.c_str());
    return std::string(buffer.data(), std::min<std::size_t>(length, bufferSize - 1));
  }

  int32_t ReadInt(const std::string& file, const std::string& section, const std::string& key,
                  int32_t defaultValue) override {
    return static_cast<int32_t>(
        ::GetPrivateProfileIntA(section.c_str(), key.c_str(), defaultValue, file.c_str()));
  }

  bool WriteString(const std::string& file, const std::string& section, const std::string& key,
                   const std::string& value) override {
    return ::WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(),
                                        file.c_str()) != FALSE;
  }

  std::vector<std::pair<std::string, std::string>> ReadSection(const std::string& file,
                                                               const std::string& section,
                                                               std::size_t bufferSize) override {
    // The routine lists the section's lines, each ending in a zero, the list in two; a result
    // of size - 2 means the list was cut, so grow and ask again.
    for (DWORD size = 1 << 16;; size *= 2) {
      std::vector<char> buffer(size, '\0');
      const DWORD length =
          ::GetPrivateProfileSectionA(section.c_str(), buffer.data(), size, file.c_str());
      if (length + 2 >= size && size < (1u << 28)) continue;
      std::vector<std::pair<std::string, std::string>> entries;
      for (DWORD pos = 0; pos < length;) {
        const std::string line(buffer.data() + pos);
        pos += static_cast<DWORD>(line.size()) + 1;
        if (auto entry = ProfileKeyLine(line)) {
          entry->second = ProfileValueAsRead(entry->second, bufferSize);
          entries.push_back(std::move(*entry));
        }
      }
      return entries;
    }
  }
};

}  // namespace

IniFiles& SystemIniFiles() {
  static Win32IniFiles store;
  return store;
}

}  // namespace platform
