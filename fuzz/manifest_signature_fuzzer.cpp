// The signature line and the file promises of a signed manifest, as read from a stranger's
// bytes. The signed part is a prefix of the text, the whole text when no last line is a
// signature line, else everything before that line; a well-formed line gives a 16-digit key id
// and 64 signature bytes, and writing them again and splitting once more gives the same. A
// promise that reads is written back as the same text (with the hash in lower case).
//
// The verification path, with the fuzz key as the build's only key: whatever the bytes, a
// manifest is judged signed only when its signed part is the one the key's holder signed (the
// seed "signed", made with `ostrel-publish publish` and the private half, which is not kept);
// and once a signed manifest was seen, only signed manifests are accepted.
//
// Input: manifest \0 promise (the promise may hold further zeros).
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "platform/crypto.h"
#include "platform/gbk.h"
#include "support/memory_mark.h"
#include "trust/manifest_signature.h"
#include "trust/update_trust.h"

namespace {

// The fuzz key's public point (X || Y), key id f7750b3733308ad8.
constexpr char kFuzzKeyHex[] =
    "8b127cc7bfb326512b3e14fa218bba849f895e51e90637d34a6cfa702be264ac"
    "72cd617d7a1f8fc3647901991aa363a3d30afcc0c109592575c80d0cb30d0f43";

// The one text signed with the fuzz key.
constexpr std::string_view kSignedBody =
    "[main]\r\nversion=1.0.0.2\r\nfilenum=1\r\n[list]\r\nfile1=setup.exe\r\n[files]\r\n"
    "file1=6 9752eb62a6845a78a9e2eaeb4a6eb2d93a1b654ee8665f71d516cfaca3e7cf57\r\n";

void CheckVerification(std::string_view text, std::string_view body) {
  static const updater::TrustSettings settings{{*platform::FromHex(kFuzzKeyHex)}, false};
  testing_support::MemoryMark mark;  // the rules, not where the mark is kept
  const updater::TrustContext trust{settings, platform::SystemCrypto(), mark, nullptr};
  const updater::ManifestJudgement first = updater::JudgeManifest(trust, text);
  fuzz::Check(!first.Signed() || body == kSignedBody, "only the signed text verifies");

  updater::ManifestJudgement seen;
  seen.verdict = updater::ManifestVerdict::kSigned;
  seen.version = "0.0.0.1";
  updater::RememberSignedManifest(trust, seen);
  const updater::ManifestJudgement later = updater::JudgeManifest(trust, text);
  fuzz::Check(later.Accepted() == first.Signed(),
              "after a signed manifest, exactly the signed ones are accepted");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const auto fields = fuzz::SplitFields(data, size, 2);
  const std::string_view text = fields[0];

  const updater::SplitManifest split = updater::SplitSignature(text);
  fuzz::Check(text.substr(0, split.body.size()) == split.body, "the body is a prefix");
  if (!split.hasSignatureLine) {
    fuzz::Check(split.body.size() == text.size() && split.signature.empty(),
                "without a signature line the whole text is the body");
  } else {
    fuzz::Check(split.body.empty() || split.body.back() == '\n', "the line starts a line");
    fuzz::Check(text.substr(split.body.size()).rfind(updater::kSignaturePrefix, 0) == 0,
                "the line starts with the prefix");
  }
  if (!split.signature.empty()) {
    fuzz::Check(split.signature.size() == 64 && split.keyId.size() == 16 &&
                    split.keyId == platform::ToLowerAscii(split.keyId),
                "a well-formed line has a 16-digit key id and 64 signature bytes");
    const std::string again(std::string(split.body) +
                            updater::SignatureLine(split.keyId, split.signature));
    const updater::SplitManifest resplit = updater::SplitSignature(again);
    fuzz::Check(resplit.body == split.body && resplit.keyId == split.keyId &&
                    resplit.signature == split.signature,
                "a line written again splits the same");
  }

  CheckVerification(text, split.body);

  const std::optional<updater::FilePromise> promise = updater::ParseFilePromise(fields[1]);
  if (promise) {
    fuzz::Check(promise->size >= 0, "a size is not negative");
    fuzz::Check(updater::FilePromiseText(*promise) == platform::ToLowerAscii(fields[1]),
                "a promise is written back as it was read");
  }
  return 0;
}
