#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/profile_store.h"

namespace platform {
namespace {

class Win32ProfileStore final : public ProfileStore {
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

  std::vector<std::string> ReadKeyNames(const std::string& file,
                                        const std::string& section) override {
    // With no key name the routine lists the keys, each ending in a zero, the list in two;
    // a result of size - 2 means the list was cut, so grow and ask again.
    for (DWORD size = 4096;; size *= 2) {
      std::vector<char> buffer(size, '\0');
      const DWORD length = ::GetPrivateProfileStringA(section.c_str(), nullptr, "", buffer.data(),
                                                      size, file.c_str());
      if (length + 2 >= size && size < (1u << 26)) continue;
      std::vector<std::string> names;
      for (DWORD pos = 0; pos < length;) {
        const std::string name(buffer.data() + pos);
        names.push_back(name);
        pos += static_cast<DWORD>(name.size()) + 1;
      }
      return names;
    }
  }
};

}  // namespace

ProfileStore& SystemProfileStore() {
  static Win32ProfileStore store;
  return store;
}

}  // namespace platform
