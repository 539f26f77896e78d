// The manifest list and the download record over any two files, through the real profile
// store: the list and IsFileDone agree with asking for each numbered key in turn (as far as
// this target asks), whatever count the files announce, and a recorded entry counts as done.
// Time per input stays bounded however large the counts (./dev fuzz runs with -timeout).
//
// Input: updateok.ini \0 update.ini (the manifest may hold further zeros).
#include <stdlib.h>    // mkdtemp
#include <sys/stat.h>  // mkdir
#include <unistd.h>    // access

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "manifest/manifest.h"
#include "manifest/manifest_entry.h"
#include "platform/gbk.h"
#include "platform/ini_files.h"

namespace {

// How many numbered keys the one-key-at-a-time reading below asks for.
constexpr int32_t kAskedKeys = 16;

// A folder in memory where there is one: replacing a file on a disk costs a flush, which would
// slow the run tenfold. Removed at exit, so its name is never destroyed.
const std::string& ProgramFolder() {
  static const std::string* const folder = [] {
    const char* base = std::getenv("TMPDIR");
    if (base == nullptr) base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string pattern = std::string(base) + "/tavrel-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    ::mkdir((pattern + "/update").c_str(), 0700);
    std::atexit([] { std::filesystem::remove_all(ProgramFolder()); });
    return new std::string(pattern);
  }();
  return *folder;
}

void WriteFile(const std::string& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The list as reading file1, file2 ... one key at a time gives it, up to `kAskedKeys`.
std::vector<std::pair<int32_t, std::string>> ListKeyByKey(platform::IniFiles& profiles,
                                                          const updater::UpdateFiles& files) {
  std::vector<std::pair<int32_t, std::string>> list;
  const int32_t count = profiles.ReadInt(files.manifest, "main", "filenum", 0);
  for (int32_t n = 1; n <= std::min(count, kAskedKeys); ++n) {
    std::string name = profiles.ReadString(files.manifest, "list", "file" + std::to_string(n), "",
                                           updater::kEntryBufferSize);
    if (name.size() >= updater::kMinEntryLength) list.emplace_back(n, std::move(name));
  }
  return list;
}

// IsFileDone as reading ok1, ok2 ... one key at a time answers it, up to `kAskedKeys`.
bool DoneKeyByKey(platform::IniFiles& profiles, const updater::UpdateFiles& files,
                  const std::string& version, int32_t count, const std::string& name) {
  for (int32_t n = 1; n <= std::min(count, kAskedKeys); ++n) {
    const std::string entry = profiles.ReadString(files.record, version, "ok" + std::to_string(n),
                                                  "", updater::kEntryBufferSize);
    if (!entry.empty() && platform::EqualsIgnoringAsciiCase(entry, name)) return true;
  }
  return false;
}

void CheckDone(platform::IniFiles& profiles, const updater::UpdateFiles& files,
               const std::string& name) {
  const bool done = updater::IsFileDone(profiles, files, name);
  const std::string version = updater::ReadManifestVersionAt(profiles, files);
  if (version.empty()) {
    fuzz::Check(!done, "nothing is done without a version");
    return;
  }
  const int32_t count = profiles.ReadInt(files.record, version, "oknum", 0);
  const bool expected = DoneKeyByKey(profiles, files, version, count, name);
  if (count <= kAskedKeys) {
    fuzz::Check(done == expected, "IsFileDone agrees with asking key by key");
  } else {
    fuzz::Check(done || !expected, "IsFileDone finds what asking key by key finds");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const auto fields = fuzz::SplitFields(data, size, 2);
  const updater::UpdateFiles files = updater::LayoutBelow(ProgramFolder()).files;
  WriteFile(ProgramFolder() + "/update/updateok.ini", fields[0]);
  WriteFile(ProgramFolder() + "/update/update.ini", fields[1]);
  platform::IniFiles& profiles = platform::SystemIniFiles();

  const std::vector<updater::ManifestEntry> list = updater::ReadManifestFileList(profiles, files);
  std::vector<std::pair<int32_t, std::string>> asked;
  for (const updater::ManifestEntry& entry : list) {
    fuzz::Check(entry.name.size() >= updater::kMinEntryLength &&
                    entry.name.size() < updater::kEntryBufferSize,
                "listed names are 5 to 259 bytes long");
    if (entry.number <= kAskedKeys) asked.emplace_back(entry.number, entry.name);
  }
  fuzz::Check(std::adjacent_find(
                  list.begin(), list.end(),
                  [](const auto& a, const auto& b) { return a.number >= b.number; }) == list.end(),
              "entries in ascending key order, each number once");
  fuzz::Check(asked == ListKeyByKey(profiles, files), "the list agrees with asking key by key");

  for (std::size_t i = 0; i < list.size() && i < 3; ++i) CheckDone(profiles, files, list[i].name);
  if (list.empty()) return 0;

  const std::string& name = list.front().name;
  const std::string version = updater::ReadManifestVersionAt(profiles, files);
  const int32_t count = profiles.ReadInt(files.record, version, "oknum", 0);
  updater::RecordFileDone(profiles, files, name);
  CheckDone(profiles, files, name);
  // For every name the file-list page would fetch; not when the version names no section
  // (empty, or ending in half a character) or the count can grow no further.
  if (updater::IsSafeManifestEntry(name) && !version.empty() &&
      !fuzz::EndsInLoneLeadByte(version) && count < INT32_MAX) {
    fuzz::Check(updater::IsFileDone(profiles, files, name), "a recorded entry is done");
  }
  return 0;
}
