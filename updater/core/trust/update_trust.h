// Which update manifests Ostrel trusts. A build holds up to two publisher keys. Without keys it
// trusts every manifest, as builds before signatures did. With keys, a manifest must be signed
// by one of them; only a build that opted out of requiring signatures accepts an unsigned one,
// and only until this installation has seen its first validly signed one. The mark of that
// first one (trust/signed_mark.h) also holds the highest signed version seen: a signed manifest
// older than that is a replay and is refused. A mark that cannot be read, or a system that
// cannot check signatures, refuses every manifest.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/crypto.h"
#include "trust/signed_mark.h"

namespace updater {

struct TrustSettings {
  std::vector<std::string> keys;  // P-256 public keys (X || Y): the current one, then the next
  bool requireSigned = true;      // false: unsigned manifests accepted until the first signed one
};

struct TrustContext {
  const TrustSettings& settings;
  platform::Crypto& crypto;
  SignedVersionMark& mark;
  // Told each decision in one line of English, for the program's error output; may be empty.
  std::function<void(const std::string&)> log;

  void Log(const std::string& line) const {
    if (log) log(line);
  }
};

enum class ManifestVerdict {
  kUnsigned,         // accepted: the build has no keys, or no signature is required yet
  kSigned,           // accepted: signed by one of the build's keys, not older than the mark
  kUnsignedRefused,  // no signature, where one is required
  kBadSignature,     // a signature line that is malformed or does not verify
  kUnknownKey,       // signed by a key the build does not hold
  kOlderVersion,     // validly signed, but older than a signed manifest seen before
  kMarkUnreadable,   // the mark of the signed versions seen cannot be read or is malformed
  kCannotVerify,     // the system has no SHA-256 or ECDSA P-256 (Windows XP has no CNG)
};

const char* VerdictName(ManifestVerdict verdict);

struct ManifestJudgement {
  ManifestVerdict verdict = ManifestVerdict::kUnsigned;
  std::string version;  // main/version of a manifest whose signature verified
  std::string keyId;    // of a signature line that was well formed

  bool Accepted() const {
    return verdict == ManifestVerdict::kUnsigned || verdict == ManifestVerdict::kSigned;
  }
  bool Signed() const { return verdict == ManifestVerdict::kSigned; }
};

// The verdict in words, with the version and the key of a signed manifest.
std::string Describe(const ManifestJudgement& judgement);

// Judges a manifest's bytes: its signature, then the policy above. Changes nothing but the
// mark's one-time move out of the per-user registry.
ManifestJudgement JudgeManifest(const TrustContext& trust, std::string_view manifest);

// After a signed manifest was stored: sets the mark, or raises its version to this one (an
// empty version is marked as "0"). A mark that cannot be stored is logged.
void RememberSignedManifest(const TrustContext& trust, const ManifestJudgement& judgement);

}  // namespace updater
