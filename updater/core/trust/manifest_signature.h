// How a signed update manifest is written. A signed update.htm is an ordinary manifest that
// carries, for each list entry file<n>, the file's size and SHA-256 under the same key in the
// section [files]:
//   [files]
//   file1=<size in bytes> <SHA-256, 64 lower-case hex digits>
// and ends in one signature line, optionally followed by a line break:
//   ;ostrel-signature ecdsa-p256-sha256 <key id, 16 hex digits> <r || s, 128 hex digits>
// The signature covers every byte before that line. Readers that know nothing of signatures
// take the line for a comment and the section for one they never read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/crypto.h"

namespace updater {

inline constexpr char kSignaturePrefix[] = ";ostrel-signature ecdsa-p256-sha256 ";
inline constexpr char kFilesSection[] = "files";
inline constexpr std::size_t kKeyIdBytes = 8;

// The id of a P-256 public key (X || Y): the first 8 bytes of its SHA-256, in lower-case hex.
// Empty when the platform cannot hash.
std::string KeyIdOf(platform::Crypto& crypto, std::string_view point);

struct SplitManifest {
  std::string_view body;  // the bytes the signature covers; the whole text when unsigned
  bool hasSignatureLine = false;
  // Set only when the line is well formed: the key id in lower-case hex and r || s as bytes.
  std::string keyId;
  std::string signature;
};

// Separates the last line, when it is a signature line, from the bytes before it.
SplitManifest SplitSignature(std::string_view manifest);

// The signature line for a body, with its line break.
std::string SignatureLine(std::string_view keyId, std::string_view signature);

// What a signed manifest says about one file.
struct FilePromise {
  int64_t size = 0;
  std::string sha256;  // 64 lower-case hex digits
};

std::string FilePromiseText(const FilePromise& promise);
// "<size> <sha256>": a decimal size without sign or leading zeros and 64 hex digits (read in
// either letter case), one blank between them; nullopt for anything else.
std::optional<FilePromise> ParseFilePromise(std::string_view text);

}  // namespace updater
