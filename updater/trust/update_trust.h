// Which update manifests Ostrel trusts. A build holds up to two publisher keys. Without keys it
// trusts every manifest, as builds before signatures did. With keys, a manifest that carries a
// signature line must be signed by one of them; an unsigned manifest is accepted only until this
// reader has seen its first validly signed one (or never, when the build requires signatures).
// The mark of that first one, under the reader's registry key, also holds the highest signed
// version seen: a signed manifest older than that is a replay and is refused.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/crypto.h"
#include "platform/registry.h"

namespace ostrel {

// The registry value of the mark: the highest signed manifest version seen (REG_SZ).
inline constexpr char kSignedVersionValue[] = "Signed Update Version";

struct TrustSettings {
  std::vector<std::string> keys;  // P-256 public keys (X || Y): the current one, then the next
  bool requireSigned = false;     // unsigned manifests refused from the first run on
};

struct TrustContext {
  const TrustSettings& settings;
  platform::Crypto& crypto;
  platform::Registry& registry;
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

// Judges a manifest's bytes: its signature, then the policy above. Changes nothing.
ManifestJudgement JudgeManifest(const TrustContext& trust, std::string_view manifest);

// The mark's version; nullopt before the first signed manifest.
std::optional<std::string> ReadSignedVersionMark(platform::Registry& registry);

// After a signed manifest was stored: sets the mark, or raises its version to this one.
void RememberSignedManifest(const TrustContext& trust, const ManifestJudgement& judgement);

}  // namespace ostrel
