// Signed manifests made by libcrypto, judged with the system's own cryptography: OpenSSL
// natively, CNG under Wine. One table of cases for both.
#include <gtest/gtest.h>

#include <functional>

#include "platform/ini_files.h"
#include "support/memory_mark.h"
#include "support/signed_vectors.h"
#include "trust/file_checks.h"
#include "trust/update_trust.h"

namespace {

using namespace updater;
using testing_support::SignedVectors;

std::string Body(const std::string& manifest) { return std::string(SplitSignature(manifest).body); }
std::string SignatureOf(const std::string& manifest) { return SplitSignature(manifest).signature; }
std::string FlipBit(std::string bytes, std::size_t pos) {
  bytes[pos] = static_cast<char>(bytes[pos] ^ 1);
  return bytes;
}

struct ManifestCase {
  const char* what;
  std::function<std::string(const SignedVectors&)> manifest;
  bool bothKeys;     // the build holds key A, or keys A and B
  const char* mark;  // the highest signed version seen, or none
  ManifestVerdict verdict;
};

const ManifestCase kManifestCases[] = {
    {"valid", [](const SignedVectors& v) { return v.byA; }, false, nullptr,
     ManifestVerdict::kSigned},
    {"signed with the second key slot", [](const SignedVectors& v) { return v.byB; }, true, nullptr,
     ManifestVerdict::kSigned},
    {"signed with another key", [](const SignedVectors& v) { return v.byB; }, false, nullptr,
     ManifestVerdict::kUnknownKey},
    {"another key's signature under this key's id",
     [](const SignedVectors& v) {
       return Body(v.byA) + SignatureLine(SplitSignature(v.byA).keyId, SignatureOf(v.byB));
     },
     false, nullptr, ManifestVerdict::kBadSignature},
    {"an unknown key id",
     [](const SignedVectors& v) {
       return Body(v.byA) + SignatureLine("0123456789abcdef", SignatureOf(v.byA));
     },
     true, nullptr, ManifestVerdict::kUnknownKey},
    {"one flipped bit in the manifest",
     [](const SignedVectors& v) { return FlipBit(v.byA, v.byA.find("1.0.0.2") + 6); }, false,
     nullptr, ManifestVerdict::kBadSignature},
    {"one flipped bit in the signature",
     [](const SignedVectors& v) {
       return Body(v.byA) +
              SignatureLine(SplitSignature(v.byA).keyId, FlipBit(SignatureOf(v.byA), 40));
     },
     false, nullptr, ManifestVerdict::kBadSignature},
    {"a truncated signature",
     [](const SignedVectors& v) { return v.byA.substr(0, v.byA.size() - 4) + "\r\n"; }, false,
     nullptr, ManifestVerdict::kBadSignature},
    {"a signature over another manifest",
     [](const SignedVectors& v) {
       return Body(v.byA) + v.otherByA.substr(Body(v.otherByA).size());
     },
     false, nullptr, ManifestVerdict::kBadSignature},
    {"no signature on first contact", [](const SignedVectors& v) { return Body(v.byA); }, false,
     nullptr, ManifestVerdict::kUnsignedRefused},
    {"no signature after a signed manifest", [](const SignedVectors& v) { return Body(v.byA); },
     false, "1.0.0.1", ManifestVerdict::kUnsignedRefused},
    {"an older version than one seen before", [](const SignedVectors& v) { return v.byA; }, false,
     "1.0.0.3", ManifestVerdict::kOlderVersion},
    {"the version seen before", [](const SignedVectors& v) { return v.byA; }, false, "1.0.0.2",
     ManifestVerdict::kSigned},
};

class SignedManifestContract : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto loaded = testing_support::LoadSignedVectors();
    ASSERT_TRUE(loaded) << "no signed vectors: the native build writes them (./dev test)";
    vectors = *loaded;
  }
  SignedVectors vectors;
};

TEST_F(SignedManifestContract, Manifests) {
  for (const ManifestCase& c : kManifestCases) {
    SCOPED_TRACE(c.what);
    testing_support::MemoryMark mark;
    if (c.mark != nullptr) mark.Write(c.mark);
    TrustSettings settings{{vectors.keyA}};
    if (c.bothKeys) settings.keys.push_back(vectors.keyB);
    const TrustContext trust{settings, platform::SystemCrypto(), mark, {}};
    EXPECT_EQ(VerdictName(JudgeManifest(trust, c.manifest(vectors)).verdict),
              std::string(VerdictName(c.verdict)));
  }
}

TEST_F(SignedManifestContract, Files) {
  const std::optional<FilePromise> promise = ParseFilePromise(
      platform::ReadIniStringFromText(Body(vectors.byA), kFilesSection, "file1", 260));
  ASSERT_TRUE(promise);
  platform::Crypto& crypto = platform::SystemCrypto();
  EXPECT_TRUE(Keeps(crypto, *promise, vectors.file));
  EXPECT_FALSE(Keeps(crypto, *promise, FlipBit(vectors.file, 5))) << "one flipped bit";
  EXPECT_FALSE(Keeps(crypto, *promise, vectors.file + "!")) << "one byte more";
}

struct HashCase {
  std::string input;
  const char* sha256;
};

TEST(Sha256Contract, KnownAnswersWholeAndInPieces) {
  const HashCase cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const HashCase& c : cases) {
    SCOPED_TRACE(c.sha256);
    const auto whole = platform::Sha256Of(platform::SystemCrypto(), c.input);
    ASSERT_TRUE(whole);
    EXPECT_EQ(platform::ToHex({reinterpret_cast<const char*>(whole->data()), 32}), c.sha256);
    const auto hash = platform::SystemCrypto().NewSha256();
    for (std::size_t at = 0; at < c.input.size(); at += 4093) {
      ASSERT_TRUE(hash->Add(std::string_view(c.input).substr(at, 4093)));
    }
    const auto pieces = hash->Finish();
    ASSERT_TRUE(pieces);
    EXPECT_EQ(*pieces, *whole);
  }
}

}  // namespace
