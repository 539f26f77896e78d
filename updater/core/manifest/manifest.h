// The update manifest (update\update.ini) and the record of finished downloads
// (update\updateok.ini).
//
// update.ini:    [main] version=<text>, filenum=<N>; [list] file1 ... fileN = <entry>
// updateok.ini:  [<version>] oknum=<n>, ok1 ... okn = <entry>, one section per version
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "layout/update_layout.h"
#include "platform/ini_files.h"

namespace updater {

inline constexpr std::size_t kVersionBufferSize = 128;  // main/version: at most 127 bytes
inline constexpr std::size_t kEntryBufferSize = 260;    // a list or record entry: 259 bytes
inline constexpr std::size_t kMinEntryLength = 5;       // shorter list entries are ignored
// list/file1 is read into 128 bytes: an installer entry is at most 127 bytes long.
inline constexpr std::size_t kInstallerEntryBufferSize = 128;

struct ManifestEntry {
  int32_t number;    // n of the list key "file<n>"
  std::string name;  // the entry as read, used verbatim
};

// The values of the keys named prefix + "%d" of n (in any letter case) for n in 1..limit, in
// ascending order of n, the first of duplicate keys winning, from one read of the section.
std::vector<std::pair<int32_t, std::string>> NumberedValues(platform::IniFiles& profiles,
                                                            const std::string& file,
                                                            const std::string& section,
                                                            const std::string& prefix,
                                                            int32_t limit);

// main/version as read (cut to 127 bytes); empty when missing.
std::string ReadManifestVersionAt(platform::IniFiles& profiles, const UpdateFiles& files);

// The list entries file1 ... file<filenum> longer than 4 bytes, in key order.
std::vector<ManifestEntry> ReadManifestFileList(platform::IniFiles& profiles,
                                                const UpdateFiles& files);

// True when the record holds `name` (ignoring ASCII letter case) under the manifest's current
// version. Always false while the manifest names no version.
bool IsFileDone(platform::IniFiles& profiles, const UpdateFiles& files, const std::string& name);

// Empties every record entry of `name` under the manifest's current version, so that the file
// no longer counts as finished (a file found changed before the install). The count stays.
void ForgetFileDone(platform::IniFiles& profiles, const UpdateFiles& files,
                    const std::string& name);

// Appends `name` to the record under the manifest's current version: the count first, then
// the entry. Failures are not reported (the file then simply does not count as finished).
void RecordFileDone(platform::IniFiles& profiles, const UpdateFiles& files,
                    const std::string& name);

// The record for the manifest's current version, read once and kept in memory: Contains
// answers as IsFileDone would, without reading the files again. Add writes what RecordFileDone
// would (the count, then the entry) at once, so an interruption at any moment loses nothing that
// was recorded; the version and the count come from memory, as nothing else writes the record
// during a run.
class FinishedDownloads {
 public:
  FinishedDownloads(platform::IniFiles& profiles, UpdateFiles files);

  bool Contains(const std::string& name) const;
  // Records the entry; false when the record could not be written.
  bool Add(const std::string& name);

 private:
  platform::IniFiles& profiles_;
  UpdateFiles files_;
  std::string version_;
  int64_t count_ = 0;                       // oknum as written last
  std::unordered_set<std::string> folded_;  // ASCII letters in lower case, GBK-aware
};

// The manifest's first file (list/file1) when it may be started: empty when the entry is
// missing, empty, refused by IsSafeManifestEntry, or longer than the 127 bytes an installer
// entry may have (the download read the whole entry, so a cut one would name another file).
std::string ReadInstallerEntry(platform::IniFiles& profiles, const std::string& manifest);

}  // namespace updater
