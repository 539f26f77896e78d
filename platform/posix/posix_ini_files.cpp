#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include "common/ini_text.h"
#include "common/profile_text.h"
#include "host_path.h"
#include "platform/ini_files.h"

namespace platform {
namespace {

std::string ReadWholeFile(const std::string& hostPath) {
  std::ifstream in(hostPath, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Writes beside the file and renames over it, so a reader never sees half a file.
bool ReplaceWholeFile(const std::string& hostPath, const std::string& content) {
  const std::string temporary = hostPath + ".tmp" + std::to_string(::getpid());
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.close();
    if (!out) {
      std::remove(temporary.c_str());
      return false;
    }
  }
  if (std::rename(temporary.c_str(), hostPath.c_str()) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

// The integer read parses like RtlCharToInteger in base 10: leading blanks, a sign, then
// digits; it stops at the first other character and wraps around past 32 bits.
int32_t ParseProfileInteger(const std::string& text) {
  std::size_t pos = 0;
  while (pos < text.size() && static_cast<unsigned char>(text[pos]) <= ' ') ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
  uint32_t number = 0;
  for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
    number = number * 10u + static_cast<uint32_t>(text[pos] - '0');
  }
  if (negative) number = 0u - number;
  return static_cast<int32_t>(number);
}

class PosixIniFiles final : public IniFiles {
 public:
  std::string ReadString(const std::string& file, const std::string& section,
                         const std::string& key, const std::string& defaultValue,
                         std::size_t bufferSize) override {
    const IniText ini(ReadWholeFile(ToHostPath(file)));
    const std::optional<std::string> value = ini.Find(section, key);
    return value ? ProfileValueAsRead(*value, bufferSize)
                 : std::string(defaultValue.substr(0, bufferSize == 0 ? 0 : bufferSize - 1));
  }

  int32_t ReadInt(const std::string& file, const std::string& section, const std::string& key,
                  int32_t defaultValue) override {
    // The platform reads the value into a small buffer first; an empty value gives the default.
    const std::string text = ReadString(file, section, key, std::string(), 30);
    return text.empty() ? defaultValue : ParseProfileInteger(text);
  }

  bool WriteString(const std::string& file, const std::string& section, const std::string& key,
                   const std::string& value) override {
    const std::string hostPath = ToHostPath(file);
    IniText ini(ReadWholeFile(hostPath));
    ini.Set(section, key, value);
    return ReplaceWholeFile(hostPath, ini.content());
  }

  std::vector<std::pair<std::string, std::string>> ReadSection(const std::string& file,
                                                               const std::string& section,
                                                               std::size_t bufferSize) override {
    auto entries = IniText(ReadWholeFile(ToHostPath(file))).Entries(section);
    for (auto& entry : entries) entry.second = ProfileValueAsRead(entry.second, bufferSize);
    return entries;
  }
};

}  // namespace

IniFiles& SystemIniFiles() {
  static PosixIniFiles store;
  return store;
}

}  // namespace platform
