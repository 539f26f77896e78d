// The files of a stored manifest checked against what it promises: each one in memory before
// it is stored, and all of them on disk again before the install moves anything.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "manifest/manifest.h"
#include "platform/crypto.h"
#include "platform/file_system.h"
#include "platform/file_tree.h"
#include "platform/ini_files.h"
#include "trust/manifest_signature.h"
#include "trust/update_trust.h"

namespace updater {

// What a manifest's [files] section promises about its listed entries.
class FilePromises {
 public:
  // Reads the list and the [files] section of a manifest file through the profile routines.
  static FilePromises Read(platform::IniFiles& profiles, const std::string& manifest);

  // The promise for an entry, its name compared as the file system compares names (ASCII
  // letter case ignored, '/' as '\'); nullptr when there is none or when two entries of that
  // name promise different files.
  const FilePromise* Find(const std::string& entry) const;
  // The listed entries in list order.
  const std::vector<std::string>& Listed() const { return listed_; }

 private:
  std::map<std::string, std::optional<FilePromise>> byName_;
  std::vector<std::string> listed_;
};

// True when the bytes are the promised file: its size, then its SHA-256.
bool Keeps(platform::Crypto& crypto, const FilePromise& promise, std::string_view bytes);

// Whether a long check should stop (asked between pieces of a file); empty: never.
using StopCheck = std::function<bool()>;

// The same for a file on disk, read in pieces; kStopped when `stopped` answered true first.
enum class StoredFile { kKept, kUnreadable, kOtherSize, kOtherContent, kStopped };
StoredFile CheckStoredFile(platform::Crypto& crypto, platform::FileSystem& files,
                           const std::string& path, const FilePromise& promise,
                           const StopCheck& stopped = {});

// Which fetched files the file-list page may store, decided once per run from the stored
// manifest, judged anew: with a signed manifest only the promised files; with an accepted
// unsigned one (or no trust rules) every file, as before signatures; with a refused one none.
class DownloadGate {
 public:
  static DownloadGate ForStoredManifest(const TrustContext* trust, platform::FileSystem& files,
                                        const UpdateFiles& update, platform::IniFiles& profiles);

  bool Admits(const std::string& entry, std::string_view bytes) const;
  // The same for a body hashed as it arrived: its size and SHA-256 (nullopt: not hashed).
  // `quiet`: the decision is not logged.
  bool Admits(const std::string& entry, uint64_t size,
              const std::optional<platform::Sha256Digest>& digest, bool quiet = false) const;
  // Whether Admits needs a body's SHA-256 (a signed manifest's promises are checked).
  bool ChecksContent() const { return mode_ == Mode::kPromised; }
  // The size a signed manifest promises for the entry; nullopt when it promises none.
  std::optional<uint64_t> PromisedSize(const std::string& entry) const;
  platform::Crypto* crypto() const { return trust_ ? &trust_->crypto : nullptr; }

 private:
  enum class Mode { kAll, kNone, kPromised };
  DownloadGate(Mode mode, const TrustContext* trust) : mode_(mode), trust_(trust) {}

  Mode mode_;
  const TrustContext* trust_;
  FilePromises promises_;
};

struct InstallCheck {
  bool allowed = true;
  // The check was stopped before it ended: nothing is allowed, and the file it was reading
  // was neither refused nor removed.
  bool stopped = false;
  ManifestJudgement judgement;
  // Listed entries that were changed, missing or not promised; the changed and missing ones
  // were removed from update\ and from the record, so the next run fetches them again.
  std::vector<std::string> refused;
  // Which entries of the update tree the install moves, by their path below update\ (for a
  // folder: whether any of them lies below it); empty: all, as before signatures.
  std::function<bool(const std::string& relative, bool isFolder)> installs;
  // Whether a file is still the promised installer: the copy in update\ starts when the
  // installer's move waits for the restart; empty: nothing to check against.
  std::function<bool(const std::string& path)> checkInstaller;
};

// Checks the stored update before the install moves anything. A refused manifest is deleted
// (the next run fetches it again); with a signed one, every listed file must be the promised
// one and the installer must be among them. An unsigned manifest that may still be accepted,
// or no trust rules at all, allows the install as before signatures. Reading every file again takes
// seconds for large ones: it runs off the dialog's thread, and `stopped` ends it early.
InstallCheck CheckUpdateBeforeInstall(const TrustContext* trust, platform::FileSystem& files,
                                      platform::FileTree& tree, platform::IniFiles& profiles,
                                      const UpdateLayout& layout, const StopCheck& stopped = {});

}  // namespace updater
