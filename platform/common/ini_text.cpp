#include "ini_text.h"

#include <algorithm>
#include <cstddef>
#include <string_view>

#include "platform/gbk.h"
#include "platform/ini_files.h"
#include "profile_text.h"

namespace platform {
namespace {

std::string_view Trim(std::string_view text) { return TrimProfileBlanks(text); }

struct KeyLine {
  std::string_view name;
  std::optional<std::string_view> value;
  std::size_t lineStart;
  std::size_t lineEnd;  // before the line break
};

struct Section {
  std::string_view name;  // empty for the lines before the first section header
  bool named;
  std::size_t lastLineEnd;  // past the line break of the header or the last key line
  std::vector<KeyLine> keys;
};

bool EndsInLineBreak(std::string_view text) {
  return text.empty() || text.back() == '\n' || text.back() == '\r';
}

std::size_t FindLastClosingBracket(std::string_view line) {
  std::size_t found = std::string_view::npos;
  for (std::size_t pos = 0; pos < line.size(); pos += GbkCharLength(line, pos)) {
    if (line[pos] == ']') found = pos;
  }
  return found;
}

std::vector<Section> Parse(std::string_view text) {
  std::vector<Section> sections;
  sections.push_back(Section{{}, false, 0, {}});
  std::size_t lineStart = 0;
  while (lineStart < text.size()) {
    // A line ends at CR LF, LF or a CR alone, as the platform's routines read it.
    const std::size_t breakPos = std::min(text.find_first_of("\r\n", lineStart), text.size());
    std::size_t nextLine = std::min(breakPos + 1, text.size());
    if (text.compare(breakPos, 2, "\r\n") == 0) ++nextLine;
    const std::string_view line = Trim(text.substr(lineStart, breakPos - lineStart));
    if (!line.empty()) {
      const std::size_t close = line.front() == '[' ? FindLastClosingBracket(line) : line.npos;
      if (close != std::string_view::npos) {
        sections.push_back(Section{line.substr(1, close - 1), true, nextLine, {}});
      } else {
        // The replaced range of a key line stops before its line break.
        KeyLine key{line, std::nullopt, lineStart, breakPos};
        const std::size_t equals = line.find('=');  // 0x3D is never a GBK trail byte
        if (equals != std::string_view::npos) {
          key.name = Trim(line.substr(0, equals));
          key.value = Trim(line.substr(equals + 1));
        }
        sections.back().keys.push_back(key);
        sections.back().lastLineEnd = nextLine;
      }
    }
    lineStart = nextLine;
  }
  return sections;
}

const Section* FindSection(const std::vector<Section>& sections, std::string_view name) {
  name = Trim(name);
  for (const Section& section : sections) {
    if (section.named && EqualsIgnoringAsciiCase(section.name, name)) return &section;
  }
  return nullptr;
}

const KeyLine* FindKey(const Section& section, std::string_view name) {
  name = Trim(name);
  for (const KeyLine& key : section.keys) {
    if (EqualsIgnoringAsciiCase(key.name, name)) return &key;
  }
  return nullptr;
}

}  // namespace

std::optional<std::string> IniText::Find(const std::string& section, const std::string& key) const {
  const std::vector<Section> sections = Parse(content_);
  const Section* found = FindSection(sections, section);
  if (found == nullptr) return std::nullopt;
  const KeyLine* line = FindKey(*found, key);
  if (line == nullptr) return std::nullopt;
  return std::string(line->value.value_or(std::string_view()));
}

std::vector<std::pair<std::string, std::string>> IniText::Entries(
    const std::string& section) const {
  std::vector<std::pair<std::string, std::string>> entries;
  const std::vector<Section> sections = Parse(content_);
  if (const Section* found = FindSection(sections, section)) {
    for (const KeyLine& key : found->keys) {
      // Comment lines (';') are kept in the file but are not listed.
      if (!key.name.empty() && key.name.front() != ';') {
        entries.emplace_back(std::string(key.name), std::string(key.value.value_or("")));
      }
    }
  }
  return entries;
}

void IniText::Set(const std::string& section, const std::string& key, const std::string& value) {
  const std::vector<Section> sections = Parse(content_);
  const std::string keyName(Trim(key));
  const Section* found = FindSection(sections, section);
  if (found == nullptr) {
    std::string added;
    if (!EndsInLineBreak(content_)) added += "\r\n";
    added += "[" + std::string(Trim(section)) + "]\r\n" + keyName + "=" + value + "\r\n";
    content_ += added;
    return;
  }
  if (const KeyLine* line = FindKey(*found, key)) {
    const std::string replacement = std::string(line->name) + "=" + value;
    content_.replace(line->lineStart, line->lineEnd - line->lineStart, replacement);
    return;
  }
  std::size_t insertAt = found->lastLineEnd;
  std::string added = keyName + "=" + value + "\r\n";
  if (!EndsInLineBreak(std::string_view(content_).substr(0, insertAt))) added.insert(0, "\r\n");
  content_.insert(insertAt, added);
}

std::string ReadIniStringFromText(std::string_view content, const std::string& section,
                                  const std::string& key, std::size_t bufferSize) {
  const std::optional<std::string> value = IniText(std::string(content)).Find(section, key);
  return value ? ProfileValueAsRead(*value, bufferSize) : std::string();
}

}  // namespace platform
