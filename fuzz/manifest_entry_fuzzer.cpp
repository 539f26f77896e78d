// The manifest entry rule: an entry it accepts, joined below a folder and resolved the way
// Windows resolves a path, names something strictly below that folder, and never a device.
//
// The resolution is a model written from the documented path rules, and errs on the side of
// escaping: the ANSI path is read in code page 936 (a trail byte 0x5C is no separator), both
// ways conversions read a lead byte before a byte that cannot be its trail byte; it ends at a
// zero byte; '\' and '/' both separate; a component made only of dots and blanks counts as
// ".." when it holds two dots or more and as "." otherwise; other components lose their
// trailing dots and blanks; and a component whose part before the first dot is a DOS device
// name (trailing blanks dropped) names that device wherever it stands.
//
// Input: the entry.
#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "manifest/manifest_entry.h"
#include "platform/gbk.h"

namespace {

constexpr char kFolder[] = "C:\\Reader\\Update";
constexpr std::size_t kFolderDepth = 3;

bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? c + 32 : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::u16string_view TrimEnd(std::u16string_view name, std::u16string_view characters) {
  const std::size_t last = name.find_last_not_of(characters);
  return last == name.npos ? std::u16string_view() : name.substr(0, last + 1);
}

bool IsDevice(std::u16string_view component) {
  const std::u16string_view base = TrimEnd(component.substr(0, component.find(u'.')), u" ");
  for (const char16_t* device : {u"CON", u"PRN", u"AUX", u"NUL", u"CONIN$", u"CONOUT$"}) {
    if (EqualsIgnoringCase(base, device)) return true;
  }
  if (base.size() != 4) return false;
  // Code page 936 has none of the superscript digits that make COM\u00b9 a device too.
  return base[3] >= u'1' && base[3] <= u'9' &&
         (EqualsIgnoringCase(base.substr(0, 3), u"COM") ||
          EqualsIgnoringCase(base.substr(0, 3), u"LPT"));
}

// The components of the resolved path; nothing when it names a device.
std::optional<std::vector<std::u16string>> Resolve(std::u16string_view wide) {
  std::vector<std::u16string> resolved;
  std::size_t start = 0;
  for (std::size_t pos = 0; pos <= wide.size(); ++pos) {
    if (pos < wide.size() && wide[pos] != u'\\' && wide[pos] != u'/') continue;
    const std::u16string_view component(wide.data() + start, pos - start);
    start = pos + 1;
    if (component.find_first_not_of(u". ") == component.npos) {
      const bool parent = std::count(component.begin(), component.end(), u'.') >= 2;
      if (parent && !resolved.empty()) resolved.pop_back();
      continue;
    }
    if (IsDevice(component)) return std::nullopt;
    resolved.emplace_back(TrimEnd(component, u". "));
  }
  return resolved;
}

// The path as the platform reads it in code page 936, where all that matters is which bytes
// are ASCII characters of their own: a double-byte character becomes U+FFFD, and so does a
// single byte that is not ASCII. A lead byte takes the next byte as its trail byte when that is
// one; before any other byte, conversions differ (one swallows it, another reads it alone), so
// `pairAnyByte` chooses. The path ends at a zero byte.
std::u16string Read(std::string_view path, bool pairAnyByte) {
  path = path.substr(0, path.find('\0'));
  std::u16string read;
  for (std::size_t pos = 0; pos < path.size(); ++pos) {
    const auto byte = static_cast<unsigned char>(path[pos]);
    const bool pair = platform::IsGbkLeadByte(byte) && pos + 1 < path.size() &&
                      (pairAnyByte || platform::IsGbkTrailByte(path[pos + 1]));
    pos += pair ? 1 : 0;
    read += byte < 0x80 && !pair ? static_cast<char16_t>(byte) : u'\uFFFD';
  }
  return read;
}

void CheckBelowTheFolder(const std::u16string& path) {
  const std::optional<std::vector<std::u16string>> resolved = Resolve(path);
  fuzz::Check(resolved.has_value(), "an accepted entry names no device");
  const std::optional<std::vector<std::u16string>> folder = Resolve(Read(kFolder, false));
  fuzz::Check(resolved->size() > kFolderDepth &&
                  std::equal(folder->begin(), folder->end(), resolved->begin()),
              "an accepted entry stays strictly below the folder");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string entry(reinterpret_cast<const char*>(data), size);
  if (!updater::IsSafeManifestEntry(entry)) return 0;
  const std::string path = std::string(kFolder) + "\\" + entry;
  CheckBelowTheFolder(Read(path, false));
  CheckBelowTheFolder(Read(path, true));
  return 0;
}
