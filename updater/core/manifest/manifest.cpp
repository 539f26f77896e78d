#include "manifest.h"

#include <algorithm>

#include "layout/paths.h"
#include "manifest/manifest_entry.h"
#include "platform/gbk.h"
#include "platform/ini_files.h"

namespace updater {

namespace {

constexpr char kMainSection[] = "main";
constexpr char kListSection[] = "list";

}  // namespace

// What reading every key from 1 to `limit` one by one gives, since a missing key reads as
// empty, but in one read of the section instead of one read a key, and without looping two
// billion times when a server announces a huge count.
std::vector<std::pair<int32_t, std::string>> NumberedValues(platform::IniFiles& profiles,
                                                            const std::string& file,
                                                            const std::string& section,
                                                            const std::string& prefix,
                                                            int32_t limit) {
  std::vector<std::pair<int32_t, std::string>> numbered;
  for (auto& [key, value] : profiles.ReadSection(file, section, kEntryBufferSize)) {
    if (key.size() <= prefix.size() || key.size() > prefix.size() + 10) continue;
    if (!platform::EqualsIgnoringAsciiCase(key.substr(0, prefix.size()), prefix)) continue;
    const std::string digits = key.substr(prefix.size());
    // Only the canonical "%d" spelling is a key the loop would ask for.
    if (digits[0] == '0' ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      continue;
    }
    const int64_t number = std::stoll(digits);
    if (number <= limit) numbered.emplace_back(static_cast<int32_t>(number), std::move(value));
  }
  // Stable, so the first of two keys with one number stays first and wins.
  std::stable_sort(numbered.begin(), numbered.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  numbered.erase(std::unique(numbered.begin(), numbered.end(),
                             [](const auto& a, const auto& b) { return a.first == b.first; }),
                 numbered.end());
  return numbered;
}

namespace {

// oknum under `version`. A count that is not positive counts as none. Kept wide, so the next
// number after a count of 2^31 - 1 does not wrap to a negative key.
int64_t RecordCount(platform::IniFiles& profiles, const UpdateFiles& files,
                    const std::string& version) {
  return std::max(profiles.ReadInt(files.record, version, "oknum", 0), 0);
}

// The non-empty record entries under `version`: ok1 ... ok<count>.
std::vector<std::string> RecordedEntries(platform::IniFiles& profiles, const UpdateFiles& files,
                                         const std::string& version, int64_t count) {
  std::vector<std::string> entries;
  if (count <= 0) return entries;
  for (auto& numbered :
       NumberedValues(profiles, files.record, version, "ok", static_cast<int32_t>(count))) {
    if (!numbered.second.empty()) entries.push_back(std::move(numbered.second));
  }
  return entries;
}

// The count first, then the entry, quoted where a read would otherwise not give the name back
// (blanks at either end, or quotation marks around it).
bool WriteRecordEntry(platform::IniFiles& profiles, const UpdateFiles& files,
                      const std::string& version, int64_t number, const std::string& name) {
  const bool counted = profiles.WriteString(files.record, version, "oknum", std::to_string(number));
  return profiles.WriteString(files.record, version, "ok" + std::to_string(number),
                              platform::IniValueToStore(name)) &&
         counted;
}

}  // namespace

std::string ReadManifestVersionAt(platform::IniFiles& profiles, const UpdateFiles& files) {
  return profiles.ReadString(files.manifest, kMainSection, "version", "", kVersionBufferSize);
}

std::vector<ManifestEntry> ReadManifestFileList(platform::IniFiles& profiles,
                                                const UpdateFiles& files) {
  std::vector<ManifestEntry> entries;
  const int32_t count = profiles.ReadInt(files.manifest, kMainSection, "filenum", 0);
  if (count <= 0) return entries;
  for (auto& [number, name] :
       NumberedValues(profiles, files.manifest, kListSection, "file", count)) {
    if (name.size() >= kMinEntryLength) entries.push_back(ManifestEntry{number, std::move(name)});
  }
  return entries;
}

bool IsFileDone(platform::IniFiles& profiles, const UpdateFiles& files, const std::string& name) {
  const std::string version = ReadManifestVersionAt(profiles, files);
  if (version.empty()) return false;
  const std::vector<std::string> entries =
      RecordedEntries(profiles, files, version, RecordCount(profiles, files, version));
  return std::any_of(entries.begin(), entries.end(), [&name](const std::string& entry) {
    return platform::EqualsIgnoringAsciiCase(entry, name);
  });
}

void ForgetFileDone(platform::IniFiles& profiles, const UpdateFiles& files,
                    const std::string& name) {
  const std::string version = ReadManifestVersionAt(profiles, files);
  const int32_t count = profiles.ReadInt(files.record, version, "oknum", 0);
  if (count <= 0) return;
  for (const auto& [number, entry] : NumberedValues(profiles, files.record, version, "ok", count)) {
    if (!entry.empty() && platform::EqualsIgnoringAsciiCase(entry, name)) {
      profiles.WriteString(files.record, version, "ok" + std::to_string(number), "");
    }
  }
}

void RecordFileDone(platform::IniFiles& profiles, const UpdateFiles& files,
                    const std::string& name) {
  const std::string version = ReadManifestVersionAt(profiles, files);
  WriteRecordEntry(profiles, files, version, RecordCount(profiles, files, version) + 1, name);
}

FinishedDownloads::FinishedDownloads(platform::IniFiles& profiles, UpdateFiles files)
    : profiles_(profiles),
      files_(std::move(files)),
      version_(ReadManifestVersionAt(profiles_, files_)),
      count_(RecordCount(profiles_, files_, version_)) {
  if (version_.empty()) return;  // nothing counts as done without a version
  for (const std::string& entry : RecordedEntries(profiles_, files_, version_, count_)) {
    folded_.insert(platform::ToLowerAscii(entry));
  }
}

bool FinishedDownloads::Contains(const std::string& name) const {
  return folded_.count(platform::ToLowerAscii(name)) != 0;
}

bool FinishedDownloads::Add(const std::string& name) {
  const bool written = WriteRecordEntry(profiles_, files_, version_, ++count_, name);
  if (!version_.empty()) folded_.insert(platform::ToLowerAscii(name));
  return written;
}

std::string ReadInstallerEntry(platform::IniFiles& profiles, const std::string& manifest) {
  // Read as long as the download reads list entries, to see whether 127 bytes would cut it.
  std::string entry = profiles.ReadString(manifest, "list", "file1", "", kEntryBufferSize);
  if (entry.size() >= kInstallerEntryBufferSize || !IsSafeManifestEntry(entry)) return {};
  return entry;
}

}  // namespace updater
