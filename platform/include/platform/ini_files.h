// INI files read and written the way the platform's private-profile routines do
// (GetPrivateProfileStringA, GetPrivateProfileIntA, WritePrivateProfileStringA).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

class IniFiles {
 public:
  virtual ~IniFiles() = default;
  // The value of `key` with blanks around it removed and one enclosing pair of quotation marks
  // taken off, cut to bufferSize - 1 bytes; the default (cut the same way) when the file,
  // section or key is missing. Section and key names ignore ASCII letter case.
  virtual std::string ReadString(const std::string& file, const std::string& section,
                                 const std::string& key, const std::string& defaultValue,
                                 std::size_t bufferSize) = 0;
  // The decimal number at the start of the value; the default when the key is missing.
  virtual int32_t ReadInt(const std::string& file, const std::string& section,
                          const std::string& key, int32_t defaultValue) = 0;
  // Creates the file, section and key as needed and replaces an existing value in place.
  virtual bool WriteString(const std::string& file, const std::string& section,
                           const std::string& key, const std::string& value) = 0;
  // The section's keys and values in one read, in file order (duplicates included): names
  // and values as a string read gives them (blanks removed, one enclosing pair of quotes taken
  // off, values cut to bufferSize - 1 bytes; a line without '=' is a key whose value is
  // empty); comment lines left out. Empty when the file or section is missing.
  virtual std::vector<std::pair<std::string, std::string>> ReadSection(const std::string& file,
                                                                       const std::string& section,
                                                                       std::size_t bufferSize) = 0;
};

// A string read from INI text held in memory, as ReadString gives it from a file holding that
// text (missing: empty): for looking into a file before it is stored.
std::string ReadIniStringFromText(std::string_view content, const std::string& section,
                                  const std::string& key, std::size_t bufferSize);

// What to write so that ReadString gives `value` back: the value itself, or the value between
// double quotation marks where a read would take off its blanks or a pair of quotation marks
// enclosing it. No written text reads back as a value holding a CR or LF.
std::string IniValueToStore(std::string_view value);

// The running system's profile routines: the Win32 ones on Windows, the portable INI engine
// over the host's files elsewhere.
IniFiles& SystemIniFiles();

}  // namespace platform
