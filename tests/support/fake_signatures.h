// Signatures without a private key, for tests of the trust rules on both platforms (Windows
// has no signer here): a "signature" is two SHA-256 digests of the key and the message, and
// verifying recomputes them. Hashing is the system's own.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/crypto.h"
#include "trust/manifest_signature.h"

namespace testing_support {

class FakeSignatures final : public platform::Crypto {
 public:
  std::unique_ptr<platform::Sha256Hash> NewSha256() override {
    return platform::SystemCrypto().NewSha256();
  }
  bool VerifyP256Sha256(std::string_view point, std::string_view message,
                        std::string_view signature) override {
    return signature == Sign(point, message);
  }

  std::string Sign(std::string_view point, std::string_view message) {
    return Digest(std::string(point) + std::string(message)) +
           Digest(std::string(message) + std::string(point));
  }
  // The body followed by its signature line.
  std::string Signed(std::string_view point, const std::string& body) {
    return body + updater::SignatureLine(updater::KeyIdOf(*this, point), Sign(point, body));
  }

 private:
  std::string Digest(const std::string& text) {
    const auto digest = platform::Sha256Of(*this, text);
    return std::string(reinterpret_cast<const char*>(digest->data()), digest->size());
  }
};

// Two keys for the fakes: any 64 bytes will do.
inline const std::string kKeyA(platform::kP256PointSize, 'A');
inline const std::string kKeyB(platform::kP256PointSize, 'B');

// A manifest of `version` listing the files (entry, content) as file1, file2 ... with their
// sizes and hashes, signed with `key` (unsigned when `key` is empty).
inline std::string ManifestWithPromises(
    FakeSignatures& crypto, const std::string& key, const std::string& version,
    const std::vector<std::pair<std::string, std::string>>& files) {
  std::string body = "[main]\r\nversion=" + version +
                     "\r\nfilenum=" + std::to_string(files.size()) + "\r\n[list]\r\n";
  std::string promises = "[files]\r\n";
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string name = "file" + std::to_string(i + 1) + "=";
    body += name + files[i].first + "\r\n";
    const auto digest = platform::Sha256Of(crypto, files[i].second);
    promises += name +
                updater::FilePromiseText(
                    {static_cast<int64_t>(files[i].second.size()),
                     platform::ToHex({reinterpret_cast<const char*>(digest->data()), 32})}) +
                "\r\n";
  }
  body += promises;
  return key.empty() ? body : crypto.Signed(key, body);
}

}  // namespace testing_support
