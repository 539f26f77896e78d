// The publisher's ECDSA P-256 key pair, through OpenSSL's libcrypto: made, stored as PEM files,
// loaded, and used to sign a manifest.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace publish {

// The file names that keygen writes.
inline constexpr char kPrivateKeyFile[] = "update-key.pem";
inline constexpr char kPublicKeyFile[] = "update-key.pub";

class SigningKey {
 public:
  ~SigningKey();
  SigningKey(SigningKey&&) noexcept;
  SigningKey& operator=(SigningKey&&) noexcept;

  // A new random key.
  static std::optional<SigningKey> Generate();
  // A private key file (PEM: PKCS#8 or "EC PRIVATE KEY"); nullopt, with `why` set, when the
  // file cannot be read or holds no P-256 key.
  static std::optional<SigningKey> Load(const std::string& pemPath, std::string& why);

  // The public point X || Y.
  const std::string& point() const { return point_; }
  // r || s over the SHA-256 of `message`; empty when libcrypto failed.
  std::string Sign(std::string_view message) const;
  // The private key (PKCS#8) and the public key (SubjectPublicKeyInfo) as PEM text.
  std::string PrivatePem() const;
  std::string PublicPem() const;

 private:
  struct Key;
  explicit SigningKey(std::unique_ptr<Key> key, std::string point);

  std::unique_ptr<Key> key_;
  std::string point_;
};

// The point X || Y of a public key file (PEM SubjectPublicKeyInfo); nullopt, with `why` set,
// when the file cannot be read or holds no P-256 key.
std::optional<std::string> LoadPublicKey(const std::string& pubPath, std::string& why);

}  // namespace publish
