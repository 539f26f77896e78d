#include "manifest/manifest_entry.h"

#include "layout/paths.h"
#include "platform/file_system.h"
#include "platform/gbk.h"

namespace updater {

namespace {

using platform::TrimTrailingDotsAndBlanks;

bool IsDeviceName(std::string_view component) {
  // The device is named by the part before the first dot ("CON.txt" is CON), blanks dropped.
  const std::string_view base = TrimTrailingDotsAndBlanks(component.substr(0, component.find('.')));
  for (const char* device : {"CON", "NUL", "AUX", "PRN"}) {
    if (platform::EqualsIgnoringAsciiCase(base, device)) return true;
  }
  if (base.size() != 4 || base[3] < '1' || base[3] > '9') return false;
  const std::string_view stem = base.substr(0, 3);
  return platform::EqualsIgnoringAsciiCase(stem, "COM") ||
         platform::EqualsIgnoringAsciiCase(stem, "LPT");
}

}  // namespace

bool IsManifestFileName(std::string_view component) {
  const std::string_view name = TrimTrailingDotsAndBlanks(component);
  return platform::EqualsIgnoringAsciiCase(name, "update.ini") ||
         platform::EqualsIgnoringAsciiCase(name, "updateok.ini");
}

bool IsSafeManifestEntry(std::string_view entry) {
  if (entry.empty() || entry.front() == '\\' || entry.front() == '/') return false;
  const std::string_view whole = TrimTrailingDotsAndBlanks(entry);
  if (IsLogFileName(whole) || platform::EqualsIgnoringAsciiCase(whole, kSignedMarkName)) {
    return false;
  }
  std::size_t start = 0;
  for (std::size_t pos = 0; pos <= entry.size();) {
    if (pos == entry.size() || entry[pos] == '\\' || entry[pos] == '/') {
      const std::string_view component = entry.substr(start, pos - start);
      // Only dots and blanks: "", ".", ".." or ".. ", which is ".." once its blank is dropped.
      if (TrimTrailingDotsAndBlanks(component).empty() || IsDeviceName(component)) return false;
      if (pos == entry.size()) {
        return !IsManifestFileName(component) && !platform::IsPartialFileName(component);
      }
      start = pos + 1;
    } else if (entry[pos] == ':' || static_cast<unsigned char>(entry[pos]) < 0x20) {
      return false;
    }
    pos += platform::GbkPairedCharLength(entry, pos);
  }
  return false;
}

}  // namespace updater
