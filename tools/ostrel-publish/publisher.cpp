#include "publisher.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <limits>
#include <map>
#include <optional>
#include <system_error>

#include "install/install.h"
#include "manifest/manifest.h"
#include "manifest/manifest_entry.h"
#include "manifest/versions.h"
#include "platform/crypto.h"
#include "platform/file_system.h"
#include "platform/gbk.h"
#include "platform/ini_files.h"
#include "platform/text.h"
#include "signing_key.h"
#include "trust/file_checks.h"
#include "trust/manifest_signature.h"

namespace publish {

namespace fs = std::filesystem;

namespace {

constexpr char kManifestName[] = "update.htm";
constexpr char kWindowsForbidden[] = "<>:\"|?*\\/";
constexpr int64_t kLargestFile = std::numeric_limits<int32_t>::max();  // the fetcher's limit
constexpr std::size_t kCopyPiece = 1 << 16;

// Reports progress at most once a second.
class Progress {
 public:
  explicit Progress(Output& out) : out_(out) {}
  void Tell(const std::function<std::string()>& line) {
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < std::chrono::seconds(1)) return;
    last_ = now;
    if (out_.progress) out_.progress(line());
  }

 private:
  Output& out_;
  std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
};

std::string MiB(uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / (1 << 20));
  return text;
}

std::string Shown(const fs::path& path) { return path.generic_string(); }

// A name as Windows compares names: ASCII letters folded, '/' as '\'.
std::string NameKey(const std::string& entry) {
  std::string key = platform::ToLowerAscii(entry);
  std::replace(key.begin(), key.end(), '/', '\\');
  return key;
}

// The problem of one part of a name as Windows would store it, or "".
std::string ComponentProblem(const std::string& component) {
  for (const char c : component) {
    if (static_cast<unsigned char>(c) < 0x20) return "it holds a control character";
    if (std::strchr(kWindowsForbidden, c) != nullptr) {
      return std::string("it holds '") + c + "', which Windows does not allow in a name";
    }
  }
  if (component.back() == '.' || component.back() == ' ') {
    return "it ends in a dot or a blank, which Windows drops from a name";
  }
  return {};
}

bool IsValidVersion(const std::string& version) {
  // Up to four numbers with dots between them, each within the 32 bits Ostrel compares.
  std::size_t start = 0;
  int numbers = 0;
  while (true) {
    const std::size_t dot = version.find('.', start);
    const std::string number = version.substr(start, dot - start);
    if (number.empty() || number.size() > 9 ||
        !std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
        ++numbers > 4) {
      return false;
    }
    if (dot == std::string::npos) return true;
    start = dot + 1;
  }
}

bool IsEmptyOrMissingFolder(const fs::path& folder) {
  std::error_code error;
  if (!fs::exists(folder, error)) return true;
  return fs::is_directory(folder, error) && fs::is_empty(folder, error);
}

// True when `inner` is `outer` or lies below it.
bool IsWithin(const fs::path& inner, const fs::path& outer) {
  std::error_code error;
  const fs::path a = fs::weakly_canonical(inner, error);
  const fs::path b = fs::weakly_canonical(outer, error);
  const auto mismatch = std::mismatch(b.begin(), b.end(), a.begin(), a.end());
  return mismatch.first == b.end();
}

// Every file of the release, in a stable order; problems for what cannot be published.
std::vector<ReleaseFile> ListRelease(const fs::path& release, std::vector<std::string>& problems) {
  std::vector<ReleaseFile> files;
  std::error_code error;
  fs::recursive_directory_iterator walk(release, error), end;
  if (error) {
    problems.push_back("cannot read " + Shown(release) + ": " + error.message());
    return files;
  }
  for (; walk != end; walk.increment(error)) {
    if (error) {
      problems.push_back("cannot read " + Shown(release) + ": " + error.message());
      break;
    }
    const fs::path relative = walk->path().lexically_relative(release);
    // Links are never followed: one could put any file of this machine, the private key
    // included, into the published tree.
    if (walk->is_symlink(error)) {
      problems.push_back(Shown(relative) +
                         ": a symbolic link; put the file itself into the release, or remove it");
      continue;
    }
    if (walk->is_directory(error)) continue;
    if (!walk->is_regular_file(error)) {
      problems.push_back(Shown(relative) +
                         ": not a regular file (a device, a pipe or a socket); remove it from the "
                         "release");
      continue;
    }
    ReleaseFile file = EntryFor(relative);
    file.source = walk->path();
    file.size = walk->file_size(error);
    if (file.problem.empty() && static_cast<int64_t>(file.size) > kLargestFile) {
      file.problem = Shown(relative) + ": " + std::to_string(file.size) +
                     " bytes; Ostrel fetches files of at most 2147483647 bytes: split it";
    }
    files.push_back(std::move(file));
  }
  std::sort(files.begin(), files.end(), [](const ReleaseFile& a, const ReleaseFile& b) {
    return NameKey(a.entry) < NameKey(b.entry);
  });
  return files;
}

// Closes a descriptor when it goes.
class FileDescriptor {
 public:
  explicit FileDescriptor(int descriptor) : descriptor_(descriptor) {}
  ~FileDescriptor() {
    if (descriptor_ >= 0) ::close(descriptor_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return descriptor_; }

 private:
  int descriptor_;
};

// Copies a regular file while hashing it; the promise for what was written. A file that became
// a link or anything but a regular file since the release was listed is not copied.
std::optional<updater::FilePromise> CopyAndHash(const fs::path& from, const fs::path& to,
                                                const std::function<void(uint64_t)>& copied) {
  const FileDescriptor in(::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  struct stat status = {};
  if (in.get() < 0 || ::fstat(in.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
    return std::nullopt;
  }
  std::ofstream out(to, std::ios::binary | std::ios::trunc);
  const std::unique_ptr<platform::Sha256Hash> hash = platform::SystemCrypto().NewSha256();
  if (!out || !hash) return std::nullopt;
  std::vector<char> piece(kCopyPiece);
  int64_t size = 0;
  while (true) {
    const ssize_t count = ::read(in.get(), piece.data(), piece.size());
    if (count < 0) return std::nullopt;
    if (count == 0) break;
    const std::string_view bytes(piece.data(), static_cast<std::size_t>(count));
    if (!out.write(bytes.data(), count) || !hash->Add(bytes)) return std::nullopt;
    size += count;
    copied(static_cast<uint64_t>(count));
  }
  out.close();
  const std::optional<platform::Sha256Digest> digest = hash->Finish();
  if (!out || !digest) return std::nullopt;
  return updater::FilePromise{
      size, platform::ToHex(
                std::string_view(reinterpret_cast<const char*>(digest->data()), digest->size()))};
}

bool WriteWholeFile(const fs::path& path, const std::string& content) {
  const fs::path partial = path.string() + ".partial";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.close();
    if (!out) return false;
  }
  std::error_code error;
  fs::rename(partial, path, error);
  return !error;
}

// Creates a new file that only its owner may read, failing when it exists.
bool WriteNewFile(const fs::path& path, const std::string& content, mode_t mode) {
  const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, mode);
  if (file < 0) return false;
  bool whole = true;
  for (std::size_t written = 0; whole && written < content.size();) {
    const ssize_t count = ::write(file, content.data() + written, content.size() - written);
    whole = count > 0;
    if (whole) written += static_cast<std::size_t>(count);
  }
  return ::close(file) == 0 && whole;
}

void ReportAll(Output& out, const std::vector<std::string>& problems) {
  for (const std::string& problem : problems) out.problem(problem);
}

std::vector<std::string> CheckPublished(const fs::path& published,
                                        const std::vector<std::string>& points,
                                        const std::optional<std::string>& previous, Output& out) {
  std::vector<std::string> problems;
  const fs::path manifestPath = published / kManifestName;
  std::ifstream in(manifestPath, std::ios::binary);
  if (!in) {
    problems.push_back("no " + Shown(manifestPath) + ": publish the release first");
    return problems;
  }
  const std::string manifest{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  platform::Crypto& crypto = platform::SystemCrypto();
  const updater::SplitManifest split = updater::SplitSignature(manifest);
  // Any of the keys, as Ostrel trusts its current and its next key alike.
  const auto point = std::find_if(points.begin(), points.end(), [&](const std::string& p) {
    return updater::KeyIdOf(crypto, p) == split.keyId;
  });
  if (!split.hasSignatureLine) {
    problems.push_back(Shown(manifestPath) + " is not signed: publish it with ostrel-publish");
  } else if (split.signature.empty()) {
    problems.push_back(Shown(manifestPath) + ": its signature line is malformed");
  } else if (point == points.end()) {
    std::string given;
    for (const std::string& p : points) given += " " + updater::KeyIdOf(crypto, p);
    problems.push_back(Shown(manifestPath) + " is signed by key " + split.keyId +
                       ", not by a key given (" + given.substr(1) +
                       "): check that you gave the right public key");
  } else if (!crypto.VerifyP256Sha256(*point, split.body, split.signature)) {
    problems.push_back(Shown(manifestPath) +
                       ": the signature does not match; the manifest was changed after signing");
  }

  const std::string manifestFile = manifestPath.string();
  platform::IniFiles& profiles = platform::SystemIniFiles();
  const updater::FilePromises promises = updater::FilePromises::Read(profiles, manifestFile);
  if (promises.Listed().empty()) problems.push_back(Shown(manifestPath) + " lists no file");
  const std::string installer = updater::ReadInstallerEntry(profiles, manifestFile);
  if (installer.empty()) {
    problems.push_back(Shown(manifestPath) + ": its first file cannot be started as an installer");
  } else if (promises.Find(installer) == nullptr) {
    // Ostrel installs nothing when the file it starts is not a listed and hashed one.
    problems.push_back(Shown(manifestPath) + ": the installer " + installer +
                       " is not a listed file with its size and SHA-256");
  }
  if (previous) {
    const std::string version =
        platform::ReadIniStringFromText(split.body, "main", "version", updater::kVersionBufferSize);
    if (updater::CompareVersions(*previous, version) >= 0) {
      problems.push_back(Shown(manifestPath) + ": version " + version + " is not above " +
                         *previous + "; Ostrel refuses it where " + *previous + " was seen");
    }
  }
  Progress progress(out);
  std::size_t checked = 0;
  for (const std::string& entry : promises.Listed()) {
    progress.Tell([&] {
      return "checked " + std::to_string(checked) + " of " +
             std::to_string(promises.Listed().size()) + " files";
    });
    ++checked;
    const updater::FilePromise* promise = promises.Find(entry);
    if (!updater::IsSafeManifestEntry(entry)) {
      problems.push_back(entry + ": Ostrel refuses this name as a manifest entry");
      continue;
    }
    if (promise == nullptr) {
      problems.push_back(entry + ": no size and SHA-256 in [files] for it");
      continue;
    }
    switch (updater::CheckStoredFile(crypto, platform::SystemFileSystem(),
                                     published.string() + "\\" + entry, *promise)) {
      case updater::StoredFile::kKept:
        break;
      case updater::StoredFile::kStopped:  // never: nothing stops this check
      case updater::StoredFile::kUnreadable:
        problems.push_back(entry + ": missing or unreadable in " + Shown(published));
        break;
      case updater::StoredFile::kOtherSize:
        problems.push_back(entry + ": not the " + std::to_string(promise->size) +
                           " bytes the manifest lists; publish the release again");
        break;
      case updater::StoredFile::kOtherContent:
        problems.push_back(entry +
                           ": its SHA-256 differs from the manifest; publish the release again");
        break;
    }
  }
  return problems;
}

}  // namespace

ReleaseFile EntryFor(const fs::path& relative) {
  ReleaseFile file;
  const std::string shown = Shown(relative);
  std::string why;
  for (const fs::path& part : relative) {
    const std::optional<std::string> component =
        platform::Utf8ToCodePage(part.string(), platform::kCodePageGbk);
    why = !component || component->empty() ? "the name does not convert to GBK (code page 936)"
                                           : ComponentProblem(part.string());
    if (!why.empty()) break;
    if (!file.entry.empty()) file.entry += '\\';
    file.entry += *component;
    file.components.push_back(*component);
  }
  if (!why.empty()) {
    file.problem = shown + ": " + why + "; rename it";
  } else if (file.entry.size() < updater::kMinEntryLength) {
    file.problem = shown + ": Ostrel ignores list entries of 4 bytes or less; rename it";
  } else if (file.entry.size() >= updater::kEntryBufferSize) {
    file.problem = shown + ": longer than the 259 bytes Ostrel reads of a list entry; shorten it";
  } else if (!updater::IsSafeManifestEntry(file.entry)) {
    file.problem = shown +
                   ": Ostrel refuses this name as a manifest entry (a device name such as CON or "
                   "NUL, or update.ini or updateok.ini); rename it";
  } else if (platform::ReadIniStringFromText("[list]\r\nfile1=" + file.entry + "\r\n", "list",
                                             "file1", updater::kEntryBufferSize) != file.entry) {
    file.problem = shown +
                   ": the manifest would not read this name back unchanged (blanks or quotes "
                   "around it); rename it";
  } else if (platform::EqualsIgnoringAsciiCase(file.entry, kManifestName)) {
    file.problem = shown + ": the published manifest takes this name; rename or move the file";
  }
  return file;
}

int KeyGen(const fs::path& folder, Output& out) {
  const fs::path privatePath = folder / kPrivateKeyFile;
  const fs::path publicPath = folder / kPublicKeyFile;
  std::error_code error;
  for (const fs::path& path : {privatePath, publicPath}) {
    if (fs::exists(path, error)) {
      out.problem(Shown(path) +
                  " exists: keygen never replaces a key; choose another folder or move it away");
      return 1;
    }
  }
  fs::create_directories(folder, error);
  std::optional<SigningKey> key = SigningKey::Generate();
  const std::string privatePem = key ? key->PrivatePem() : std::string();
  const std::string publicPem = key ? key->PublicPem() : std::string();
  if (privatePem.empty() || publicPem.empty()) {
    out.problem("libcrypto could not make a P-256 key");
    return 1;
  }
  if (!WriteNewFile(privatePath, privatePem, 0600)) {
    out.problem("cannot write " + Shown(privatePath) + ": " + std::strerror(errno));
    return 1;
  }
  if (!WriteNewFile(publicPath, publicPem, 0644)) {
    out.problem("cannot write " + Shown(publicPath) + ": " + std::strerror(errno));
    fs::remove(privatePath, error);
    return 1;
  }
  out.info("wrote " + Shown(privatePath) + " (private: keep it secret; sign with --key)");
  out.info("wrote " + Shown(publicPath) + " (public: build Ostrel with -DOSTREL_UPDATE_KEY=" +
           Shown(fs::absolute(publicPath, error)) + ")");
  out.info("key id " + updater::KeyIdOf(platform::SystemCrypto(), key->point()));
  return 0;
}

int Publish(const PublishOptions& options, Output& out) {
  std::vector<std::string> problems;
  std::error_code error;
  if (!fs::is_directory(options.release, error)) {
    out.problem("RELEASE_DIR " + Shown(options.release) + " is not a folder");
    return 1;
  }
  if (!IsEmptyOrMissingFolder(options.published)) {
    problems.push_back("OUT_DIR " + Shown(options.published) +
                       " is not empty: give a new or empty folder, so no file of another "
                       "release is served with this one");
  } else if (IsWithin(options.published, options.release)) {
    problems.push_back("OUT_DIR " + Shown(options.published) +
                       " lies inside RELEASE_DIR: choose a folder outside the release");
  }
  if (!IsValidVersion(options.version)) {
    problems.push_back("--version " + options.version +
                       ": give up to four numbers separated by dots, such as 1.0.0.2");
  }
  std::string why;
  const std::optional<SigningKey> key = SigningKey::Load(options.key.string(), why);
  if (!key) problems.push_back("--key: " + why + " (make a key with: ostrel-publish keygen DIR)");

  std::vector<ReleaseFile> files = ListRelease(options.release, problems);
  std::map<std::string, std::string> seen;  // by name key: the first name shown
  for (const ReleaseFile& file : files) {
    if (!file.problem.empty()) {
      problems.push_back(file.problem);
      continue;
    }
    const auto [other, added] = seen.emplace(NameKey(file.entry), Shown(file.source));
    if (!added) {
      problems.push_back(Shown(file.source) + " and " + other->second +
                         " differ only in letter case: Windows keeps one file; rename one");
    }
  }
  if (files.empty() && problems.empty()) {
    problems.push_back("RELEASE_DIR " + Shown(options.release) + " holds no file");
  }
  std::string installerName = options.installer;
  std::replace(installerName.begin(), installerName.end(), '\\', '/');
  const ReleaseFile wanted = EntryFor(fs::path(installerName));
  const auto installer = std::find_if(files.begin(), files.end(), [&](const ReleaseFile& file) {
    return file.problem.empty() && NameKey(file.entry) == NameKey(wanted.entry);
  });
  if (!files.empty() && installer == files.end()) {
    problems.push_back("the installer " + options.installer +
                       " is not in RELEASE_DIR: add it, or name another file with --installer");
  } else if (installer != files.end() &&
             installer->entry.size() >= updater::kInstallerEntryBufferSize) {
    problems.push_back(options.installer +
                       ": Ostrel starts an installer only by a name of at most 127 bytes");
  }
  if (!problems.empty()) {
    ReportAll(out, problems);
    out.problem("nothing was published");
    return 1;
  }
  const std::string installerEntry = installer->entry;
  std::rotate(files.begin(), installer, installer + 1);  // the installer first

  uint64_t total = 0;
  for (const ReleaseFile& file : files) total += file.size;
  fs::create_directories(options.published, error);
  Progress progress(out);
  uint64_t copied = 0;
  std::string list;
  std::string promises;
  for (std::size_t i = 0; i < files.size(); ++i) {
    fs::path target = options.published;
    for (const std::string& component : files[i].components) target /= component;
    fs::create_directories(target.parent_path(), error);
    const std::optional<updater::FilePromise> promise =
        CopyAndHash(files[i].source, target, [&](uint64_t bytes) {
          copied += bytes;
          progress.Tell([&] {
            return "copied " + std::to_string(i) + " of " + std::to_string(files.size()) +
                   " files, " + MiB(copied) + " of " + MiB(total);
          });
        });
    if (!promise) {
      out.problem("cannot copy " + Shown(files[i].source) + " to " + Shown(target) +
                  " (disk full or no rights?); remove OUT_DIR and publish again");
      return 1;
    }
    const std::string key = "file" + std::to_string(i + 1) + "=";
    list += key + files[i].entry + "\r\n";
    promises += key + updater::FilePromiseText(*promise) + "\r\n";
  }
  const std::string body = "[main]\r\nversion=" + options.version +
                           "\r\nfilenum=" + std::to_string(files.size()) + "\r\n[list]\r\n" + list +
                           "[" + updater::kFilesSection + "]\r\n" + promises;
  const std::string signature = key->Sign(body);
  const std::string keyId = updater::KeyIdOf(platform::SystemCrypto(), key->point());
  if (signature.empty() || keyId.empty() ||
      !WriteWholeFile(options.published / kManifestName,
                      body + updater::SignatureLine(keyId, signature))) {
    out.problem("cannot sign or write " + Shown(options.published / kManifestName) +
                "; remove OUT_DIR and publish again");
    return 1;
  }
  // Checked as Ostrel will check it, so a fault of this machine is not shipped.
  const std::vector<std::string> faults =
      CheckPublished(options.published, {key->point()}, std::nullopt, out);
  if (!faults.empty()) {
    ReportAll(out, faults);
    out.problem("the published tree failed its own check; remove OUT_DIR and publish again");
    return 1;
  }
  out.info("published " + options.version + ": " + std::to_string(files.size()) + " files, " +
           MiB(total) + ", installer " + installerEntry + ", signed by key " + keyId);
  out.info("upload everything in " + Shown(options.published) +
           " to the update server's folder; update.htm last");
  return 0;
}

int Verify(const VerifyOptions& options, Output& out) {
  std::vector<std::string> points;
  for (const fs::path& publicKey : options.publicKeys) {
    std::string why;
    const std::optional<std::string> point = LoadPublicKey(publicKey.string(), why);
    if (!point) {
      out.problem("--pub " + Shown(publicKey) + ": " + why);
      return 1;
    }
    points.push_back(*point);
  }
  if (options.previous && !IsValidVersion(*options.previous)) {
    out.problem("--previous " + *options.previous +
                ": give up to four numbers separated by dots, such as 1.0.0.1");
    return 1;
  }
  const std::vector<std::string> problems =
      CheckPublished(options.published, points, options.previous, out);
  if (!problems.empty()) {
    ReportAll(out, problems);
    return 1;
  }
  out.info(Shown(options.published) + ": signature and every listed file verified");
  return 0;
}

}  // namespace publish
