#include "trust/file_checks.h"

#include <algorithm>
#include <set>

#include "layout/paths.h"
#include "manifest/manifest_entry.h"
#include "platform/gbk.h"

namespace updater {

namespace {

// A name as the file system compares it: ASCII letters folded, '/' as '\' (0x2F is never a
// GBK trail byte, so it can be replaced byte by byte).
std::string NameKey(const std::string& name) {
  std::string key = platform::ToLowerAscii(name);
  std::replace(key.begin(), key.end(), '/', '\\');
  return key;
}

bool SameDigest(const std::optional<platform::Sha256Digest>& digest, const std::string& hex) {
  return digest && platform::ToHex(std::string_view(reinterpret_cast<const char*>(digest->data()),
                                                    digest->size())) == hex;
}

std::function<bool(const std::string&, bool)> Covering(const std::vector<std::string>& listed) {
  std::set<std::string> names;
  for (const std::string& entry : listed) names.insert(NameKey(entry));
  return [names = std::move(names)](const std::string& relative, bool isFolder) {
    const std::string key = NameKey(relative);
    if (!isFolder) return names.count(key) > 0;
    const std::string prefix = key + "\\";
    const auto below = names.lower_bound(prefix);
    return below != names.end() && below->compare(0, prefix.size(), prefix) == 0;
  };
}

}  // namespace

FilePromises FilePromises::Read(platform::IniFiles& profiles, const std::string& manifest) {
  FilePromises promises;
  std::map<int32_t, std::string> texts;
  for (auto& [number, text] :
       NumberedValues(profiles, manifest, kFilesSection, "file", INT32_MAX)) {
    texts.emplace(number, std::move(text));
  }
  const UpdateFiles update{manifest, std::string()};
  for (ManifestEntry& entry : ReadManifestFileList(profiles, update)) {
    const auto text = texts.find(entry.number);
    std::optional<FilePromise> promise;
    if (text != texts.end()) promise = ParseFilePromise(text->second);
    const auto [found, inserted] = promises.byName_.emplace(NameKey(entry.name), promise);
    if (!inserted && found->second &&
        (!promise || promise->size != found->second->size ||
         promise->sha256 != found->second->sha256)) {
      found->second.reset();  // one name, two different files: neither can be checked
    }
    promises.listed_.push_back(std::move(entry.name));
  }
  return promises;
}

const FilePromise* FilePromises::Find(const std::string& entry) const {
  const auto found = byName_.find(NameKey(entry));
  return found == byName_.end() || !found->second ? nullptr : &*found->second;
}

bool Keeps(platform::Crypto& crypto, const FilePromise& promise, std::string_view bytes) {
  return static_cast<int64_t>(bytes.size()) == promise.size &&
         SameDigest(platform::Sha256Of(crypto, bytes), promise.sha256);
}

StoredFile CheckStoredFile(platform::Crypto& crypto, platform::FileSystem& files,
                           const std::string& path, const FilePromise& promise,
                           const StopCheck& stopped) {
  const std::unique_ptr<platform::Sha256Hash> hash = crypto.NewSha256();
  if (!hash) return StoredFile::kUnreadable;
  int64_t size = 0;
  bool hashed = true;
  bool stoppedEarly = false;
  // Reading stops once the file is longer than promised.
  const bool read = files.ReadFileInPieces(path, [&](std::string_view piece) {
    if (stopped && stopped()) {
      stoppedEarly = true;
      return false;
    }
    size += static_cast<int64_t>(piece.size());
    hashed = hashed && hash->Add(piece);
    return size <= promise.size;
  });
  if (stoppedEarly) return StoredFile::kStopped;
  if (size > promise.size || (read && size != promise.size)) return StoredFile::kOtherSize;
  if (!read) return StoredFile::kUnreadable;
  return hashed && SameDigest(hash->Finish(), promise.sha256) ? StoredFile::kKept
                                                              : StoredFile::kOtherContent;
}

DownloadGate DownloadGate::ForStoredManifest(const TrustContext* trust, platform::FileSystem& files,
                                             const UpdateFiles& update,
                                             platform::IniFiles& profiles) {
  if (trust == nullptr || trust->settings.keys.empty()) return DownloadGate(Mode::kAll, trust);
  const ManifestJudgement judgement =
      JudgeManifest(*trust, platform::ReadWholeFile(files, update.manifest).value_or(""));
  if (!judgement.Accepted()) {
    trust->Log(std::string("stored manifest ") + VerdictName(judgement.verdict) +
               ": no file is stored");
    return DownloadGate(Mode::kNone, trust);
  }
  if (!judgement.Signed()) return DownloadGate(Mode::kAll, trust);
  DownloadGate gate(Mode::kPromised, trust);
  gate.promises_ = FilePromises::Read(profiles, update.manifest);
  return gate;
}

bool DownloadGate::Admits(const std::string& entry, std::string_view bytes) const {
  std::optional<platform::Sha256Digest> digest;
  if (mode_ == Mode::kPromised) digest = platform::Sha256Of(trust_->crypto, bytes);
  return Admits(entry, bytes.size(), digest);
}

bool DownloadGate::Admits(const std::string& entry, uint64_t size,
                          const std::optional<platform::Sha256Digest>& digest, bool quiet) const {
  if (mode_ != Mode::kPromised) return mode_ == Mode::kAll;
  const FilePromise* promise = promises_.Find(entry);
  std::string why;
  if (promise == nullptr) {
    why = "the signed manifest gives no size and SHA-256 for it";
  } else if (static_cast<int64_t>(size) != promise->size) {
    why = std::to_string(size) + " bytes, the signed manifest promises " +
          std::to_string(promise->size);
  } else if (!SameDigest(digest, promise->sha256)) {
    why = "its SHA-256 is not the one the signed manifest promises";
  } else {
    return true;
  }
  if (!quiet) trust_->Log("fetched file " + entry + " not stored: " + why);
  return false;
}

std::optional<uint64_t> DownloadGate::PromisedSize(const std::string& entry) const {
  if (mode_ != Mode::kPromised) return std::nullopt;
  const FilePromise* promise = promises_.Find(entry);
  if (promise == nullptr || promise->size < 0) return std::nullopt;
  return static_cast<uint64_t>(promise->size);
}

InstallCheck CheckUpdateBeforeInstall(const TrustContext* trust, platform::FileSystem& files,
                                      platform::FileTree& tree, platform::IniFiles& profiles,
                                      const UpdateLayout& layout, const StopCheck& stopped) {
  InstallCheck check;
  if (trust == nullptr || trust->settings.keys.empty()) return check;
  const UpdateFiles& update = layout.files;
  check.judgement =
      JudgeManifest(*trust, platform::ReadWholeFile(files, update.manifest).value_or(""));
  if (!check.judgement.Accepted()) {
    check.allowed = false;
    tree.RemoveFile(update.manifest);
    trust->Log("install refused: stored manifest " + Describe(check.judgement) +
               "; it was removed");
    return check;
  }
  if (!check.judgement.Signed()) return check;

  const std::string& updateFolder = layout.updateFolder;
  const FilePromises promises = FilePromises::Read(profiles, update.manifest);
  const auto stop = [&check, trust] {
    check.allowed = false;
    check.stopped = true;
    trust->Log("install check stopped before it ended: nothing installed");
    return check;
  };
  for (const std::string& entry : promises.Listed()) {
    if (stopped && stopped()) return stop();
    const bool safe = IsSafeManifestEntry(entry);
    const FilePromise* promise = promises.Find(entry);
    const char* why = "refused by the entry rule";
    if (safe && promise == nullptr) {
      why = "the signed manifest gives no size and SHA-256 for it";
    } else if (safe) {
      switch (CheckStoredFile(trust->crypto, files, updateFolder + entry, *promise, stopped)) {
        case StoredFile::kStopped:
          return stop();
        case StoredFile::kKept:
          continue;
        case StoredFile::kUnreadable:
          why = "missing or unreadable";
          break;
        case StoredFile::kOtherSize:
          why = "not the size the signed manifest promises";
          break;
        case StoredFile::kOtherContent:
          why = "its SHA-256 is not the one the signed manifest promises";
          break;
      }
    }
    check.refused.push_back(entry);
    trust->Log("install refused: " + entry + ": " + why +
               (safe ? "; removed from update\\ and the record, fetched again next run" : ""));
    if (safe) {
      tree.RemoveFile(updateFolder + entry);
      ForgetFileDone(profiles, update, entry);
    }
  }
  // The installer is started: it must be one of the checked files (an entry of 4 bytes or
  // less is never listed, so never fetched or checked).
  auto installs = Covering(promises.Listed());
  const std::string installer = ReadInstallerEntry(profiles, update.manifest);
  if (!installer.empty() && !installs(installer, false)) {
    check.refused.push_back(installer);
    trust->Log("install refused: the installer " + installer +
               " is not a file of the signed manifest");
  }

  check.allowed = check.refused.empty();
  if (check.allowed) {
    check.installs = std::move(installs);
    if (const FilePromise* promise = installer.empty() ? nullptr : promises.Find(installer)) {
      check.checkInstaller = [&crypto = trust->crypto, &files,
                              promised = *promise](const std::string& path) {
        return CheckStoredFile(crypto, files, path, promised) == StoredFile::kKept;
      };
    }
    trust->Log("update verified before install: " + std::to_string(promises.Listed().size()) +
               " files match the manifest (" + Describe(check.judgement) + ")");
  }
  return check;
}

}  // namespace updater
