#include "trust/update_trust.h"

#include "manifest/manifest.h"
#include "platform/profile_store.h"
#include "settings/registry_values.h"
#include "settings/versions.h"
#include "trust/manifest_signature.h"

namespace ostrel {

namespace {

constexpr std::size_t kMarkCapacity = 260;

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

  const std::optional<std::string> mark = ReadSignedVersionMark(trust.registry);
  if (!split.hasSignatureLine) {
    if (mark || trust.settings.requireSigned) judgement.verdict = ManifestVerdict::kUnsignedRefused;
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
        platform::ReadProfileStringFromText(split.body, "main", "version", kVersionBufferSize);
    judgement.verdict = mark && CompareVersions(judgement.version, *mark) < 0
                            ? ManifestVerdict::kOlderVersion
                            : ManifestVerdict::kSigned;
  }
  return judgement;
}

std::optional<std::string> ReadSignedVersionMark(platform::Registry& registry) {
  const std::unique_ptr<platform::RegistryKey> key = registry.OpenKey(kReaderKey);
  platform::RegistryValue value;
  if (!key ||
      key->QueryValue(kSignedVersionValue, kMarkCapacity, value) != platform::QueryStatus::kOk) {
    return std::nullopt;
  }
  return value.data.substr(0, value.data.find('\0'));
}

void RememberSignedManifest(const TrustContext& trust, const ManifestJudgement& judgement) {
  if (!judgement.Signed()) return;
  const std::optional<std::string> mark = ReadSignedVersionMark(trust.registry);
  if (mark && CompareVersions(*mark, judgement.version) >= 0) return;  // not higher
  const std::unique_ptr<platform::RegistryKey> key = trust.registry.CreateKey(kReaderKey);
  if (key) key->SetValue(kSignedVersionValue, platform::StringValue(judgement.version));
}

}  // namespace ostrel
