// The INI engine over any file text: a section read lists each key with the value a read of
// that key gives (the first line of a key wins); a key written with any section, name and
// value a caller can pass reads back as written, only its own line changes (or one line, with
// its section header when the section is new, is added), and writing it again changes nothing.
//
// Input: section \0 key \0 value \0 file text (the text may hold further zeros).
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "common/ini_text.h"
#include "common/profile_text.h"
#include "fuzz_support.h"
#include "platform/gbk.h"

namespace {

using platform::TrimProfileBlanks;

// The lines of a text without their line breaks (CR LF, LF or a CR alone); no empty line for a
// final break.
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find_first_of("\r\n"), text.size());
    lines.push_back(text.substr(0, end));
    text.remove_prefix(
        std::min(text.compare(end, 2, "\r\n") == 0 ? end + 2 : end + 1, text.size()));
  }
  return lines;
}

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != text.npos; }

// What a caller of the write can name: one line's worth of text, a key that opens no section
// and holds no '=', and a section that ends in a whole character once its blanks are dropped
// (a lead byte at its end would swallow the closing bracket, on the platform too).
bool IsWritable(std::string_view section, std::string_view key, std::string_view value) {
  if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) return false;
  const std::string_view name = TrimProfileBlanks(key);
  if (name.empty() || name.front() == '[' || name.find('=') != name.npos) return false;
  return !fuzz::EndsInLoneLeadByte(TrimProfileBlanks(section));
}

// After the write, the lines differ from before in one place only: one line replaced by the
// key's line, or the key's line added, or a section header and the key's line added at the end;
// or nowhere, when the key's line held exactly that already.
void CheckOnlyTheKeysLineChanged(std::string_view before, std::string_view after,
                                 std::string_view key, std::string_view value) {
  const std::vector<std::string_view> old = Lines(before);
  const std::vector<std::string_view> now = Lines(after);
  std::size_t head = 0;
  while (head < old.size() && head < now.size() && old[head] == now[head]) ++head;
  std::size_t tail = 0;
  while (tail < old.size() - head && tail < now.size() - head &&
         old[old.size() - 1 - tail] == now[now.size() - 1 - tail]) {
    ++tail;
  }
  const std::size_t removed = old.size() - head - tail;
  const std::size_t added = now.size() - head - tail;
  if (removed == 0 && added == 0) return;
  fuzz::Check(removed <= 1 && added >= 1 && added <= 2, "one line replaced or lines added");
  if (added == 2) {
    fuzz::Check(removed == 0 && tail == 0 && !now[head].empty() && now[head].front() == '[',
                "a new section is added at the end");
  }
  const std::string_view keyLine = now[head + added - 1];
  const std::size_t equals = keyLine.find('=');
  fuzz::Check(equals != keyLine.npos &&
                  platform::EqualsIgnoringAsciiCase(TrimProfileBlanks(keyLine.substr(0, equals)),
                                                    TrimProfileBlanks(key)) &&
                  keyLine.substr(equals + 1) == value,
              "the changed line is key=value");
}

void CheckSectionReadAgreesWithKeyReads(const platform::IniText& ini, const std::string& section) {
  const auto entries = ini.Entries(section);
  // Each read parses the whole text again: the first keys suffice to keep runs quick.
  for (std::size_t i = 0; i < entries.size() && i < 32; ++i) {
    const std::string& key = entries[i].first;
    const bool first = std::none_of(entries.begin(), entries.begin() + i, [&](const auto& entry) {
      return platform::EqualsIgnoringAsciiCase(entry.first, key);
    });
    if (first) {
      fuzz::Check(ini.Find(section, key) == entries[i].second,
                  "a section read lists what reads give");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::vector<std::string_view> fields = fuzz::SplitFields(data, size, 4);
  const std::string section(fields[0]);
  const std::string key(fields[1]);
  const std::string value(fields[2]);
  platform::IniText ini{std::string(fields[3])};

  CheckSectionReadAgreesWithKeyReads(ini, section);
  if (!IsWritable(section, key, value)) {
    ini.Find(section, key);
    return 0;
  }

  const std::string before = ini.content();
  ini.Set(section, key, value);
  const std::optional<std::string> read = ini.Find(section, key);
  fuzz::Check(read && *read == TrimProfileBlanks(value), "a written value reads back");
  CheckOnlyTheKeysLineChanged(before, ini.content(), key, value);
  CheckSectionReadAgreesWithKeyReads(ini, section);

  const std::string once = ini.content();
  ini.Set(section, key, value);
  fuzz::Check(ini.content() == once, "writing the same value again changes nothing");
  return 0;
}
