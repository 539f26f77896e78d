#include "trust/update_trust.h"

#include "manifest/manifest.h"
#include "manifest/versions.h"
#include "platform/ini_files.h"
#include "trust/manifest_signature.h"

namespace updater {

namespace {

// The key among the build's keys that has this id; nullptr when none has.
const std::string* KeyWithId(const TrustContext& trust, const std::string& keyId) {
  for (const std::string& key : trust.settings.keys) {
    if (KeyIdOf(trust.crypto, key) == keyId) return &key;
  }
  return nullptr;
}

}  // namespace

const char* VerdictName(ManifestVerdict verdict) {
  switch (verdict) {
    case ManifestVerdict::kUnsigned:
      return "unsigned, accepted";
    case ManifestVerdict::kSigned:
      return "signature verified";
    case ManifestVerdict::kUnsignedRefused:
      return "refused: not signed";
    case ManifestVerdict::kBadSignature:
      return "refused: bad signature";
    case ManifestVerdict::kUnknownKey:
      return "refused: signed by an unknown key";
    case ManifestVerdict::kOlderVersion:
      return "refused: older than a signed manifest seen before";
    case ManifestVerdict::kMarkUnreadable:
      return "refused: the mark of the signed versions seen cannot be read or is malformed";
    case ManifestVerdict::kCannotVerify:
      return "refused: this system cannot check signatures (no CNG SHA-256 and ECDSA P-256)";
  }
  return "?";
}

std::string Describe(const ManifestJudgement& judgement) {
  std::string text = VerdictName(judgement.verdict);
  if (!judgement.version.empty()) text += ", version " + judgement.version;
  if (!judgement.keyId.empty()) text += ", key " + judgement.keyId;
  return text;
}

ManifestJudgement JudgeManifest(const TrustContext& trust, std::string_view manifest) {
  ManifestJudgement judgement;
  if (trust.settings.keys.empty()) return judgement;  // as before signatures: all accepted
  const SplitManifest split = SplitSignature(manifest);
  judgement.keyId = split.keyId;

  // Never a fall-back to unsigned: a build with keys that cannot check them installs nothing.
  if (!trust.crypto.CanVerifyP256Sha256()) {
    judgement.verdict = ManifestVerdict::kCannotVerify;
    return judgement;
  }
  const MarkReading mark = trust.mark.Read();
  if (mark.state == MarkReading::State::kUnreadable) {
    judgement.verdict = ManifestVerdict::kMarkUnreadable;
    return judgement;
  }
  const bool marked = mark.state == MarkReading::State::kVersion;
  if (!split.hasSignatureLine) {
    if (marked || trust.settings.requireSigned) {
      judgement.verdict = ManifestVerdict::kUnsignedRefused;
    }
    return judgement;
  }
  if (split.signature.empty()) {
    judgement.verdict = ManifestVerdict::kBadSignature;
    return judgement;
  }
  const std::string* key = KeyWithId(trust, split.keyId);
  if (key == nullptr) {
    judgement.verdict = ManifestVerdict::kUnknownKey;
  } else if (!trust.crypto.VerifyP256Sha256(*key, split.body, split.signature)) {
    judgement.verdict = ManifestVerdict::kBadSignature;
  } else {
    // Read from the signed bytes alone, as the profile routines will read the stored file.
    judgement.version =
        platform::ReadIniStringFromText(split.body, "main", "version", kVersionBufferSize);
    judgement.verdict = marked && CompareVersions(judgement.version, mark.version) < 0
                            ? ManifestVerdict::kOlderVersion
                            : ManifestVerdict::kSigned;
  }
  return judgement;
}

void RememberSignedManifest(const TrustContext& trust, const ManifestJudgement& judgement) {
  if (!judgement.Signed()) return;
  const MarkReading mark = trust.mark.Read();
  // An unreadable mark is never overwritten: whoever may change the installation removes it.
  if (mark.state == MarkReading::State::kUnreadable) return;
  if (mark.state == MarkReading::State::kVersion &&
      CompareVersions(mark.version, judgement.version) >= 0) {
    return;  // not higher
  }
  const std::string version = judgement.version.empty() ? "0" : judgement.version;
  if (!trust.mark.Write(version)) {
    trust.Log("the mark of signed version " + version + " could not be stored");
  }
}

}  // namespace updater
