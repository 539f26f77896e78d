// The INI text engine behind the portable IniFiles: reads and edits the bytes of one INI
// file the way the platform's private-profile routines treat them.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform {

class IniText {
 public:
  explicit IniText(std::string content) : content_(std::move(content)) {}

  const std::string& content() const { return content_; }

  // The value of the first `key` in the first section named `section`, blanks around it
  // removed (quotes kept); nullopt when the section or key is missing.
  std::optional<std::string> Find(const std::string& section, const std::string& key) const;

  // The keys and values of the first section named `section`, in file order, blanks around
  // them removed (quotes kept), without comment lines; a line that holds no '=' is a key with
  // an empty value, as Find gives it.
  std::vector<std::pair<std::string, std::string>> Entries(const std::string& section) const;

  // Replaces the key's line in place, or adds the key at the end of its section, or adds the
  // section at the end of the text. Every other line keeps its bytes.
  void Set(const std::string& section, const std::string& key, const std::string& value);

 private:
  std::string content_;
};

}  // namespace platform
