// The signature line and the file promises of a signed manifest, as read from a stranger's
// bytes. The signed part is a prefix of the text, the whole text when no last line is a
// signature line, else everything before that line; a well-formed line gives a 16-digit key id
// and 64 signature bytes, and writing them again and splitting once more gives the same. A
// promise that reads is written back as the same text (with the hash in lower case).
//
// Input: manifest \0 promise (the promise may hold further zeros).
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "platform/gbk.h"
#include "trust/manifest_signature.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const auto fields = fuzz::SplitFields(data, size, 2);
  const std::string_view text = fields[0];

  const ostrel::SplitManifest split = ostrel::SplitSignature(text);
  fuzz::Check(text.substr(0, split.body.size()) == split.body, "the body is a prefix");
  if (!split.hasSignatureLine) {
    fuzz::Check(split.body.size() == text.size() && split.signature.empty(),
                "without a signature line the whole text is the body");
  } else {
    fuzz::Check(split.body.empty() || split.body.back() == '\n', "the line starts a line");
    fuzz::Check(text.substr(split.body.size()).rfind(ostrel::kSignaturePrefix, 0) == 0,
                "the line starts with the prefix");
  }
  if (!split.signature.empty()) {
    fuzz::Check(split.signature.size() == 64 && split.keyId.size() == 16 &&
                    split.keyId == platform::ToLowerAscii(split.keyId),
                "a well-formed line has a 16-digit key id and 64 signature bytes");
    const std::string again(std::string(split.body) +
                            ostrel::SignatureLine(split.keyId, split.signature));
    const ostrel::SplitManifest resplit = ostrel::SplitSignature(again);
    fuzz::Check(resplit.body == split.body && resplit.keyId == split.keyId &&
                    resplit.signature == split.signature,
                "a line written again splits the same");
  }

  const std::optional<ostrel::FilePromise> promise = ostrel::ParseFilePromise(fields[1]);
  if (promise) {
    fuzz::Check(promise->size >= 0, "a size is not negative");
    fuzz::Check(ostrel::FilePromiseText(*promise) == platform::ToLowerAscii(fields[1]),
                "a promise is written back as it was read");
  }
  return 0;
}
