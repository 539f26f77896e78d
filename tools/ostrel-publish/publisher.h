// What ostrel-publish does: a key pair for a publisher, a release tree published with a signed
// manifest, and a published tree checked the way Ostrel checks what it fetches.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace publish {

// Where the commands report. Each call is one line without its line break.
struct Output {
  std::function<void(const std::string&)> info;      // results, on standard output
  std::function<void(const std::string&)> problem;   // what went wrong and what to do
  std::function<void(const std::string&)> progress;  // now and then on large trees
};

// A file of the release: where it is, and the manifest entry that names it (GBK, '\' between
// folders); `problem` says why Ostrel could not use the name, empty when it can.
struct ReleaseFile {
  std::filesystem::path source;
  std::vector<std::string> components;  // the entry's parts, GBK
  std::string entry;
  uint64_t size = 0;
  std::string problem;
};

// The entry for a path below the release folder, with the problem of its name if any.
ReleaseFile EntryFor(const std::filesystem::path& relative);

// Writes DIR/update-key.pem (the private key, readable by its owner only) and
// DIR/update-key.pub. Never overwrites. Returns the exit code.
int KeyGen(const std::filesystem::path& folder, Output& out);

struct PublishOptions {
  std::filesystem::path release;
  std::filesystem::path published;
  std::string version;
  std::filesystem::path key;
  std::string installer = "setup.exe";
};

// Copies the release into the (new or empty) published folder under the names Ostrel will ask
// for, and writes its signed update.htm last: the installer first, then every other file.
// Nothing is written when any name, the version, the installer or the key is unusable; every
// problem is reported. Returns the exit code.
int Publish(const PublishOptions& options, Output& out);

struct VerifyOptions {
  std::filesystem::path published;
  std::vector<std::filesystem::path> publicKeys;  // any of them may have signed
  std::optional<std::string> previous;            // the version must be above it
};

// Checks a published folder the way Ostrel checks it: the signature of its update.htm by one of
// the public keys, every file it lists, that the installer is a listed and hashed file, and, when
// asked, that the version is above the previous release's; one problem line for each fault.
// Returns the exit code.
int Verify(const VerifyOptions& options, Output& out);

}  // namespace publish
